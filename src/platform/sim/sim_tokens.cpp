#include "platform/sim/sim_tokens.h"

#include <algorithm>

namespace zk::sim {

SimTokens::SimTokens(platform::Platform& owner, SimCore& core)
    : owner_(owner),
      core_(core),
      names_{"SeDebugPrivilege",        "SeIncreaseBasePriorityPrivilege", "SeProfileSingleProcessPrivilege",
             "SeIncreaseQuotaPrivilege", "SeBackupPrivilege",               "SeRestorePrivilege",
             "SeChangeNotifyPrivilege",  "SeShutdownPrivilege"} {}

TokenHandle SimTokens::newToken(std::uint32_t pid, std::uint32_t access) {
    HandleInfo info;
    info.kind = HandleKind::Token;
    info.pid = pid;
    info.access = access;
    return TokenHandle(&owner_, core_.newHandle(std::move(info)));
}

const HandleInfo* SimTokens::tokenWith(const TokenHandle& h, std::uint32_t right) {
    const HandleInfo* info = core_.handle(h.get(), HandleKind::Token);
    if (info && !(info->access & right)) {
        lastError() = win::ERROR_ACCESS_DENIED;
        return nullptr;
    }
    return info;
}

TokenHandle SimTokens::openProcessToken(std::uint32_t access) {
    if (core_.failsWin32(Op::OpenProcessToken)) return {};
    std::lock_guard lk(core_.m);
    return newToken(0, access);
}

bool SimTokens::lookupPrivilegeValue(const char* name, std::uint64_t& luid) {
    if (core_.failsWin32(Op::LookupPrivilegeValue)) return false;
    std::lock_guard lk(core_.m);
    const std::string n = name ? name : "";
    auto it = std::find(names_.begin(), names_.end(), n);
    if (it == names_.end() || denied.count(n)) {
        lastError() = win::ERROR_NO_SUCH_PRIVILEGE;
        return false;
    }
    luid = static_cast<std::uint64_t>(it - names_.begin()) + 2;
    return true;
}

bool SimTokens::adjustTokenPrivilege(const TokenHandle& token, std::uint64_t luid, bool enable) {
    if (core_.failsWin32(Op::AdjustTokenPrivilege)) return false;
    std::lock_guard lk(core_.m);
    if (!tokenWith(token, win::TOKEN_ADJUST_PRIVILEGES)) return false;
    if (luid < 2 || luid - 2 >= names_.size()) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    const std::string& name = names_[luid - 2];
    if (notAssigned.count(name)) {
        lastError() = win::ERROR_NOT_ALL_ASSIGNED;
        return true;
    }
    if (enable)
        enabled_.insert(name);
    else
        enabled_.erase(name);
    core_.record("AdjustTokenPrivileges " + name + (enable ? " on" : " off"));
    lastError() = win::ERROR_SUCCESS;
    return true;
}

bool SimTokens::getTokenElevation(const TokenHandle& token, bool& elevated) {
    if (core_.failsWin32(Op::GetTokenElevation)) return false;
    std::lock_guard lk(core_.m);
    if (!tokenWith(token, win::TOKEN_QUERY)) return false;
    elevated = tokenElevated;
    return true;
}

}  // namespace zk::sim
