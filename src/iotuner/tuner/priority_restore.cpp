#include "iotuner/tuner/priority_restore.h"

#include <string>
#include <utility>
#include <vector>

#include "iotuner/tuner/io_tuner.h"
#include "iotuner/tuner/tuner_log.h"
#include "iotuner/tuner/tuner_privileges.h"
#include "platform/process_info.h"

namespace zk::iotuner {

namespace {

// The I/O priority that SetInformationProcess gives only with SeIncreaseBasePriorityPrivilege.
constexpr std::uint32_t kIoPriorityHigh = 3;

std::string pidText(std::string_view head, std::uint32_t pid) { return std::string(head) + std::to_string(pid); }

void restoreCpu(FirstSeenMap& records) {
    auto& p = platform::processes();
    TunerLog(kInfo, "[IOTuner] Restoring original CPU priorities...");
    std::vector<std::uint32_t> done;
    for (const auto& [pid, cls] : records.copy()) {
        done.push_back(pid);  // a process that is gone leaves without a line
        const platform::ProcessHandle h = p.openProcess(kTunerAccess, false, pid);
        if (!h) continue;
        if (p.setPriorityClass(h, cls)) {
            TunerLog(kInfo, pidText("[IOTuner] Restored CPU priority for pid=", pid) + " -> " + std::to_string(cls));
        } else {
            const std::uint32_t err = platform::lastError();
            TunerLog(kWarning, pidText("[IOTuner] Failed to restore CPU priority for pid=", pid) +
                                   ", err=" + std::to_string(err));
        }
    }
    records.remove(done);
    TunerLog(kInfo, "[IOTuner] CPU priority restore complete.");
}

void restoreIo(FirstSeenMap& records, TunerRoutines& routines) {
    auto& p = platform::processes();
    TunerLog(kInfo, "[IOTuner] Restoring original IO priorities...");
    const RoutineSet set = routines.resolve();
    if (!set.ntSetInformationProcess) {
        TunerLog(kWarning, "[IOTuner] NtSetInformationProcess unavailable; IO restore skipped.");
        return;
    }
    std::vector<std::uint32_t> done;
    bool basePriority = false;  // asked for once a pass, before the first High priority
    for (const auto& [pid, level] : records.copy()) {
        done.push_back(pid);
        const platform::ProcessHandle h = p.openProcess(kTunerAccess, false, pid);
        if (!h) continue;
        if (RunsUnderWow64(set, h)) {
            TunerLog(kInfo, pidText("[IOTuner] Restore SKIPPED (WOW64 process, 64-bit tuner) pid=", pid));
            continue;
        }
        if (level == kIoPriorityHigh && !std::exchange(basePriority, true)) enableBasePriorityPrivilege();
        const std::int32_t status = platform::setIoPriority(h, level);
        if (status == win::STATUS_SUCCESS)
            TunerLog(kInfo, pidText("[IOTuner] Restored IO priority for pid=", pid) + " -> " + std::to_string(level));
        else
            TunerLog(kWarning, pidText("[IOTuner] Failed to restore IO priority for pid=", pid) +
                                   ", status=" + std::to_string(status));
    }
    records.remove(done);
    TunerLog(kInfo, "[IOTuner] IO restore complete; snapshot map cleared.");
}

}  // namespace

void RestorePriorities() {
    IoTuner& t = tuner();
    TunerLog(kInfo, "[IOTuner] RESTORE called (CPU + IO priorities)");
    restoreCpu(t.records.OriginalCpuPriority);
    restoreIo(t.records.OriginalIoPriority, t.routines);
}

}  // namespace zk::iotuner
