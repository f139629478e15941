#include "iotuner/quarantine/hard_quarantine.h"

#include "iotuner/tuner/inverse_priority.h"
#include "iotuner/tuner/io_tuner.h"
#include "platform/process_info.h"
#include "zelkor.h"

namespace zk::iotuner {

namespace {

// Above the memory cleaning's threshold and below its heavy-load level: one purge.
constexpr double kQuarantineMemoryLoad = 95.0;
constexpr zk_wchar kQuarantineTag[] = {u'H', u'A', u'R', u'D', u'Q', 0};

// A process marked to break on termination is one the system cannot lose.
bool isCriticalProcess(const platform::ProcessHandle& process) {
    if (!platform::modules().hasRoutine(platform::Routine::NtQueryInformationProcess)) return false;
    bool critical = false;
    return platform::queryBreakOnTermination(process, critical) == win::STATUS_SUCCESS && critical;
}

}  // namespace

int HardQuarantine(std::int32_t pid, std::int32_t gamePid) {
    if (pid == 0 || static_cast<std::uint32_t>(pid) == win::kSystemPid) return -1;
    if (pid == gamePid) return 0;
    auto& p = platform::processes();
    const auto target = static_cast<std::uint32_t>(pid);
    {
        const platform::ProcessHandle query = p.openProcess(win::PROCESS_QUERY_LIMITED_INFORMATION, false, target);
        if (!query || isCriticalProcess(query)) return 0;
    }
    // The tuner's whole protection order comes before anything is changed, so that the host,
    // its children, a system-critical or anti-cheat process is never confined to one processor.
    const std::uint32_t self = p.currentProcessId();
    if (!ClearedForLowering({target, static_cast<std::uint32_t>(gamePid), self, true, false})) return 0;
    {
        const platform::ProcessHandle set = p.openProcess(kTunerAccess, false, target);
        if (set) {
            p.setPriorityClass(set, win::BELOW_NORMAL_PRIORITY_CLASS);
            p.setProcessAffinityMask(set, 1);
        }
    }
    Zelkor_IOTuner_LowerSinglePid(target, static_cast<std::uint32_t>(gamePid), self, 1, 0);
    extreme_memory_clean(target, kQuarantineMemoryLoad, kQuarantineTag);
    return 1;
}

}  // namespace zk::iotuner
