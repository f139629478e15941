#pragma once
// The simulated machine's token: the privileges the process may enable.

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/sim_core.h"

namespace zk::sim {

using platform::TokenHandle;

class SimTokens final : public platform::Tokens {
public:
    SimTokens(platform::Platform& owner, SimCore& core);

    // The machine's side (caller holds the core lock).
    bool enabled(const std::string& name) const { return enabled_.count(name) != 0; }
    std::set<std::string> denied;         // lookup fails: ERROR_NO_SUCH_PRIVILEGE
    std::set<std::string> notAssigned;    // adjust succeeds with ERROR_NOT_ALL_ASSIGNED
    bool tokenElevated = true;

    TokenHandle openProcessToken(std::uint32_t access) override;
    bool lookupPrivilegeValue(const char* name, std::uint64_t& luid) override;
    bool adjustTokenPrivilege(const TokenHandle& token, std::uint64_t luid, bool enable) override;
    bool getTokenElevation(const TokenHandle& token, bool& elevated) override;
    TokenHandle openProcessTokenOf(const platform::ProcessHandle& process, std::uint32_t access) override;
    bool getTokenUser(const TokenHandle& token, std::uint32_t bufferBytes, platform::TokenUserSid& out) override;
    // The user SID ("S-1-5-...") of a process; empty when unknown. Caller holds the lock.
    std::function<std::string(std::uint32_t pid)> userSidOf;

private:
    // Caller holds the lock. A new token of process pid; the open token h with `right`, or
    // nullptr with the last error set.
    TokenHandle newToken(std::uint32_t pid, std::uint32_t access);
    const HandleInfo* tokenWith(const TokenHandle& h, std::uint32_t right);

    platform::Platform& owner_;
    SimCore& core_;
    std::vector<std::string> names_;  // a privilege's LUID is its index + 2
    std::set<std::string> enabled_;
};

}  // namespace zk::sim
