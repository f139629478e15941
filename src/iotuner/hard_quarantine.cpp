#include "iotuner/hard_quarantine.h"

#include "iotuner/inverse_priority.h"
#include "iotuner/io_tuner.h"
#include "platform/platform.h"
#include "zelkor.h"

namespace zk::iotuner {

namespace {

// Above the memory cleaning's threshold and below its heavy-load level: one purge.
constexpr double kQuarantineMemoryLoad = 95.0;
constexpr zk_wchar kQuarantineTag[] = {u'H', u'A', u'R', u'D', u'Q', 0};

// A process marked to break on termination is one the system cannot lose.
bool isCriticalProcess(platform::RawHandle process) {
    auto& p = platform::api();
    if (!p.hasRoutine(platform::Routine::NtQueryInformationProcess)) return false;
    std::uint32_t value = 0, returned = 0;
    if (p.ntQueryInformationProcess(process, win::ProcessBreakOnTermination, &value, sizeof value, &returned) !=
        win::STATUS_SUCCESS)
        return false;
    return value != 0;
}

}  // namespace

int HardQuarantine(std::int32_t pid, std::int32_t gamePid) {
    if (pid == 0 || pid == 4) return -1;
    if (pid == gamePid) return 0;
    auto& p = platform::api();
    const auto target = static_cast<std::uint32_t>(pid);
    {
        platform::UniqueHandle query = p.openProcess(win::PROCESS_QUERY_LIMITED_INFORMATION, false, target);
        if (!query || isCriticalProcess(query.get())) return 0;
    }
    // The tuner's protection order comes before anything is changed, so that a process
    // the tuner would refuse is not confined to one processor on the way.
    const std::uint32_t self = p.currentProcessId();
    if (!ClearedForLowering({target, static_cast<std::uint32_t>(gamePid), self, true, false})) return 0;
    {
        platform::UniqueHandle set = p.openProcess(kTunerAccess, false, target);
        if (set) {
            p.setPriorityClass(set.get(), win::BELOW_NORMAL_PRIORITY_CLASS);
            p.setProcessAffinityMask(set.get(), 1);
        }
    }
    Zelkor_IOTuner_LowerSinglePid(target, static_cast<std::uint32_t>(gamePid), self, 1, 0);
    extreme_memory_clean(target, kQuarantineMemoryLoad, kQuarantineTag);
    return 1;
}

}  // namespace zk::iotuner
