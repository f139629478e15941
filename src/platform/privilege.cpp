#include "platform/privilege.h"

#include "platform/platform.h"

namespace zk::platform {

PrivilegeResult enablePrivilege(const char* name) {
    using Step = PrivilegeResult::Step;
    Platform& p = api();
    TokenHandle token = p.tokens().openProcessToken(win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY);
    if (!token) return {Step::OpenToken, p.lastError()};
    std::uint64_t luid = 0;
    if (!p.tokens().lookupPrivilegeValue(name, luid)) return {Step::Lookup, p.lastError()};
    if (!p.tokens().adjustTokenPrivilege(token, luid, true)) return {Step::Adjust, p.lastError()};
    return {Step::None, p.lastError()};
}

}  // namespace zk::platform
