#include "iotuner/tuner_privileges.h"

#include "iotuner/tuner_log.h"
#include "platform/platform.h"

namespace zk::iotuner {

namespace {

// A nonzero AdjustTokenPrivileges counts as success; a token without the privilege
// (ERROR_NOT_ALL_ASSIGNED) is not told apart here.
bool enableDebugPrivilege() {
    auto& p = platform::api();
    platform::UniqueHandle token = p.openProcessToken(win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY);
    if (!token) {
        TunerLog(kWarning, "[IOTuner] OpenProcessToken FAILED.");
        return false;
    }
    std::uint64_t luid = 0;
    if (!p.lookupPrivilegeValue("SeDebugPrivilege", luid)) {
        TunerLog(kWarning, "[IOTuner] LookupPrivilegeValue FAILED.");
        return false;
    }
    if (!p.adjustTokenPrivilege(token.get(), luid, true)) {
        TunerLog(kWarning, "[IOTuner] AdjustTokenPrivileges FAILED.");
        return false;
    }
    return true;
}

}  // namespace

void TunerPrivileges::ensure(TunerExport caller) {
    if (done_[static_cast<int>(caller)].exchange(true)) return;
    if (!enableDebugPrivilege()) TunerLog(kWarning, "[IOTuner] SeDebugPrivilege could not be enabled.");
    TunerLog(kInfo, "[IOTuner] Privileges initialised (SeDebugPrivilege requested).");
}

void TunerPrivileges::reset() {
    for (auto& d : done_) d.store(false);
}

}  // namespace zk::iotuner
