#pragma once
// The current process's access token.

#include <cstdint>

#include "platform/handles.h"

namespace zk::platform {

// The SID of a token's user (TOKEN_USER), its identifier authority and sub-authorities.
struct TokenUserSid {
    std::uint8_t authority[6] = {};
    std::uint8_t subAuthorityCount = 0;
    std::uint32_t subAuthority[15] = {};
};

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

    // The token of another process: OpenProcessToken on a handle with
    // PROCESS_QUERY_LIMITED_INFORMATION.
    virtual TokenHandle openProcessTokenOf(const ProcessHandle& process, std::uint32_t access) = 0;
    // GetTokenInformation(TokenUser) into a buffer of bufferBytes (TOKEN_QUERY); a user
    // record larger than the buffer fails with ERROR_INSUFFICIENT_BUFFER.
    virtual bool getTokenUser(const TokenHandle& token, std::uint32_t bufferBytes, TokenUserSid& out) = 0;
};

}  // namespace zk::platform
