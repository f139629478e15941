#pragma once
// The current process's access token.

#include <cstdint>

#include "platform/handles.h"

namespace zk::platform {

class Tokens {
public:
    virtual ~Tokens() = default;

    virtual TokenHandle openProcessToken(std::uint32_t access) = 0;
    virtual bool lookupPrivilegeValue(const char* name, std::uint64_t& luid) = 0;
    // AdjustTokenPrivileges for one privilege (TOKEN_ADJUST_PRIVILEGES); lastError()
    // afterwards tells ERROR_NOT_ALL_ASSIGNED apart from full success, as on Windows.
    virtual bool adjustTokenPrivilege(const TokenHandle& token, std::uint64_t luid, bool enable) = 0;
    // TOKEN_QUERY.
    virtual bool getTokenElevation(const TokenHandle& token, bool& elevated) = 0;
};

}  // namespace zk::platform
