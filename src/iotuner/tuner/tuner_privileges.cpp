#include "iotuner/tuner/tuner_privileges.h"

#include "iotuner/tuner/tuner_log.h"
#include "platform/privilege.h"

namespace zk::iotuner {

namespace {

// A nonzero AdjustTokenPrivileges counts as success; a token without the privilege
// (ERROR_NOT_ALL_ASSIGNED) is not told apart here.
bool enableDebugPrivilege() {
    using Step = platform::PrivilegeResult::Step;
    const platform::PrivilegeResult r = platform::enablePrivilege("SeDebugPrivilege");
    switch (r.failed) {
        case Step::OpenToken: TunerLog(kWarning, "[IOTuner] OpenProcessToken FAILED."); break;
        case Step::Lookup: TunerLog(kWarning, "[IOTuner] LookupPrivilegeValue FAILED."); break;
        case Step::Adjust: TunerLog(kWarning, "[IOTuner] AdjustTokenPrivileges FAILED."); break;
        case Step::None: break;
    }
    return r.adjusted();
}

}  // namespace

void TunerPrivileges::ensure(TunerExport caller) {
    if (done_[static_cast<int>(caller)].exchange(true)) return;
    if (!enableDebugPrivilege()) TunerLog(kWarning, "[IOTuner] SeDebugPrivilege could not be enabled.");
    TunerLog(kInfo, "[IOTuner] Privileges initialised (SeDebugPrivilege requested).");
}

void enableBasePriorityPrivilege() { (void)platform::enablePrivilege("SeIncreaseBasePriorityPrivilege"); }

void TunerPrivileges::reset() {
    for (auto& d : done_) d.store(false);
}

}  // namespace zk::iotuner
