#include "stutter/surgical_recovery.h"

#include <algorithm>

#include "platform/platform.h"
#include "common/text_format.h"
#include "stutter/launcher_guard.h"
#include "stutter/recovery_log.h"
#include "stutter/recovery_state.h"

namespace zk::stutter {

namespace {

// Keeps a concurrent hard recovery of the same process out while the transaction runs.
constexpr double kTransactionLockSec = 5.0;
constexpr std::uint32_t kAccess =
    win::PROCESS_QUERY_LIMITED_INFORMATION | win::PROCESS_SET_INFORMATION | win::PROCESS_SET_QUOTA;

struct Transaction {
    platform::ProcessHandle process;
    std::uint64_t savedAffinity = 0;
    std::uint32_t savedPriority = 0;
    bool haveAffinity = false;
    bool havePriority = false;
    bool affinityChanged = false;
    bool priorityChanged = false;
    bool committed = false;
};

std::int32_t surgicalLevel(std::int32_t score, double ramPct, double rssMB, const QtmRecoveryConfig& cfg) {
    if (score >= cfg.surgicalL3MinScore) return (ramPct >= 90.0 && rssMB >= 100.0) ? 3 : 2;
    if (score >= cfg.surgicalL2MinScore) return 2;
    return 1;
}

RecoveryCounter levelCounter(std::int32_t level) {
    return level == 3 ? RecoveryCounter::SurgicalL3 : level == 2 ? RecoveryCounter::SurgicalL2 : RecoveryCounter::SurgicalL1;
}

}  // namespace

std::int32_t surgicalHard(const StutterContext& ctx, const OffenderInfo& offender, std::int32_t score,
                          double ramPct, const QtmRecoveryConfig& config) {
    auto& log = recoveryLog();
    auto& state = recoveryState();
    auto& p = platform::processes();
    const std::uint32_t pid = offender.pid;
    const std::string_view name = offenderName(offender);
    using text::Message;

    if (static_cast<std::int32_t>(pid) <= 0 || pid == win::kSystemPid || pid == ctx.gamePid) {
        log.debug("[StutterQTM][Surgical] Offender PID not allowed → skip.");
        return 0;
    }
    if (isLauncher(name)) {
        log.info(Message() << "[StutterQTM][SAFE][Surgical] Launcher detected → " << name << " (pid=" << pid
                           << ") → no surgical hard actions.");
        return 0;
    }
    if (!state.lockUnlessCooling(pid, wallClockSeconds(), kTransactionLockSec)) {
        log.info(Message() << "[StutterQTM][Surgical] PID al in cooldown/lock → skip pid=" << pid << " (" << name << ")");
        return 0;
    }

    const std::int32_t level = surgicalLevel(score, ramPct, offender.rssMB, config);
    Transaction tx;
    tx.process = p.openProcess(kAccess, false, pid);
    if (!tx.process) {
        log.debug("[StutterQTM][Surgical] OpenProcess failed → no hard recovery modifications.");
        state.count(RecoveryCounter::SurgicalFailures);
        return 0;
    }
    const platform::ProcessHandle& h = tx.process;

    // An affinity mask has 64 bits; a larger count still means the last of them.
    const std::uint32_t processors = std::min<std::uint32_t>(state.processorCount(), 64);
    const std::uint64_t lastCoreMask = 1ull << (processors - 1);
    std::uint64_t systemMask = 0;
    tx.haveAffinity = p.getProcessAffinityMask(h, tx.savedAffinity, systemMask);
    tx.savedPriority = p.getPriorityClass(h);
    tx.havePriority = tx.savedPriority != 0;

    // Puts back what an uncommitted transaction changed; the results are ignored.
    auto rollBack = [&] {
        if (tx.committed) return;
        if (tx.affinityChanged && tx.haveAffinity) p.setProcessAffinityMask(h, tx.savedAffinity);
        if (tx.priorityChanged && tx.havePriority) p.setPriorityClass(h, tx.savedPriority);
    };
    const std::uint64_t rss = wholeMegabytes(offender.rssMB);
    bool failureCounted = false;
    bool cooldownArmed = false;
    try {
        bool l1 = true;
        if (!state.fourCoreSafety()) {
            log.info("[StutterQTM][Surgical] L1 affinity SKIPPED (4-core safety)");
        } else if (p.setProcessAffinityMask(h, lastCoreMask)) {
            tx.affinityChanged = true;
            log.info(Message() << "[StutterQTM][Surgical] L1: Affinity → last core pid=" << pid << " (" << name
                               << ")");
        } else {
            l1 = false;
            log.debug("[StutterQTM][Surgical] L1: SetProcessAffinityMask failed.");
        }

        bool l2 = true;
        if (level >= 2) {
            if (p.setPriorityClass(h, win::IDLE_PRIORITY_CLASS)) {
                tx.priorityChanged = true;
                log.info(Message() << "[StutterQTM][Surgical] L2: Priority → IDLE pid=" << pid);
            } else {
                l2 = false;
                log.debug("[StutterQTM][Surgical] L2: SetPriorityClass failed.");
            }
        }

        if (level >= 3) {
            const bool trimmed = p.emptyWorkingSet(h);
            log.info(Message() << "[StutterQTM][Surgical] L3: EmptyWorkingSet → rss=" << offender.rssMB
                               << "MB result=" << (trimmed ? "OK" : "FAIL"));
        }

        tx.committed = l1 && l2;
        if (!tx.committed) {
            state.count(RecoveryCounter::SurgicalFailures);
            failureCounted = true;
            log.warn("[StutterQTM][Surgical] Transaction partial failure → rollback initiated.");
        }
        state.armCooldown(pid, level, rss);
        cooldownArmed = true;
        state.count(levelCounter(level));
        log.info(Message() << "[StutterQTM][Surgical] Surgical HARD complete → level=" << level << " pid=" << pid
                           << " cooldown armed.");
    } catch (...) {
        // A line that could not be built (out of memory) ends the transaction where it is:
        // unless it had committed, what it changed is put back, and the process cools down
        // as after any attempt, before the exception goes on.
        rollBack();
        if (!tx.committed && !failureCounted) state.count(RecoveryCounter::SurgicalFailures);
        if (!cooldownArmed) state.armCooldown(pid, level, rss);
        throw;
    }
    rollBack();
    return 2;
}

}  // namespace zk::stutter
