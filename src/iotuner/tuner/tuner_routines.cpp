#include "iotuner/tuner/tuner_routines.h"

#include "iotuner/tuner/tuner_log.h"
#include "platform/platform.h"

namespace zk::iotuner {

RoutineSet TunerRoutines::resolve() {
    RoutineSet set;
    bool first = false;
    {
        std::lock_guard lk(mutex_);
        if (!resolved_) {
            auto& p = platform::modules();
            set_.ntSetInformationProcess = p.hasRoutine(platform::Routine::NtSetInformationProcess);
            set_.ntQueryInformationProcess = p.hasRoutine(platform::Routine::NtQueryInformationProcess);
            set_.isWow64Process = p.hasRoutine(platform::Routine::IsWow64Process);
            resolved_ = first = true;
        }
        set = set_;
    }
    if (first && !set.ntSetInformationProcess) TunerLog(kError, "[IOTuner] NtSetInformationProcess not available.");
    if (first && !set.ntQueryInformationProcess)
        TunerLog(kWarning, "[IOTuner] NtQueryInformationProcess not available.");
    return set;
}

void TunerRoutines::reset() {
    std::lock_guard lk(mutex_);
    resolved_ = false;
    set_ = {};
}

bool RunsUnderWow64(const RoutineSet& routines, const platform::ProcessHandle& process) {
    if (!routines.isWow64Process) return false;
    bool wow64 = false;
    return platform::processes().isWow64Process(process, wow64) && wow64;
}

}  // namespace zk::iotuner
