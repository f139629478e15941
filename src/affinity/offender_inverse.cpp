#include "affinity/offender_inverse.h"

#include <stdexcept>

#include "affinity/affinity_log.h"
#include "affinity/affinity_module.h"
#include "affinity/inverse_layout.h"
#include "affinity/process_utils.h"
#include "affinity/rate_gate.h"
#include "common/text_format.h"
#include "platform/platform.h"

namespace zk::affinity {

namespace {

// The offender is refused for the System process only, not for every low pid as the
// all-process pass is, and its liveness and name come before the protected names.
bool eligible(const ProcessHandle& offender, std::uint32_t gamePid) {
    const std::string name = ImageBaseName(offender);
    if (name.empty() || IsProtectedProcessName(name)) return false;
    if (offender.pid == 0 || offender.pid == win::kSystemPid || offender.pid == gamePid) return false;
    return offender.pid != platform::processes().currentProcessId();
}

std::int32_t moveOffender(std::uint32_t pid) {
    const std::int32_t n = LogicalCoreCount();
    if (tooFewCores(n)) {
        LogInfo(text::Message() << "[InverseAffinity] Offender skipped: CPU has " << n
                                << " logical cores (no affinity changes on <=4 cores).");
        return 0;
    }
    const InverseSnapshot snap = affinity().state.SnapshotInverseState();
    if (!snap.usable()) {
        LogInfo("[InverseAffinity] Offender skipped (no active inverse layout)");
        return 0;
    }
    const std::uint32_t gamePid = snap.inverse.targetPid;
    CoreList layoutCores;
    if (layoutCoresFor(gamePid, snap.inverse.cores, layoutCores) != LayoutCores::Ok) return 0;

    const ProcessHandle offender = openForAffinity(pid);
    if (!isRunning(offender) || !eligible(offender, gamePid)) return 0;
    if (IsDescendantBounded(pid, gamePid, BuildParentMap())) {
        LogInfo("[InverseAffinity] Offender skipped (descendant of game)");
        return 0;
    }
    std::uint64_t processMask = 0, systemMask = 0;
    if (platform::processes().getProcessAffinityMask(offender.handle, processMask, systemMask)) {
        const std::uint64_t mask = maskWithin(layoutCores, systemMask);
        if (mask && !platform::processes().setProcessAffinityMask(offender.handle, mask)) {
            try {
                if (platform::lastError() == win::ERROR_ACCESS_DENIED) throw zelkor_affinity::AccessDeniedException{};
                throw std::runtime_error("SetProcessAffinityMask failed");
            } catch (const zelkor_affinity::AccessDeniedException&) {
                affinity().metrics.failedTotal.fetch_add(1, std::memory_order_relaxed);
                LogWarning(text::Message() << "[InverseAffinity] Offender PID " << pid << " \xE2\x86\x92 access denied");
                return 0;
            }
        }
    }
    affinity().metrics.modifiedTotal.fetch_add(1, std::memory_order_relaxed);
    LogInfo(text::Message() << "[InverseAffinity] Offender PID " << pid << " \xE2\x86\x92 applied");
    return 1;
}

}  // namespace

std::int32_t ApplyInverseForOffenderPid(std::int32_t pid) {
    if (!admit(kOffenderGate, static_cast<std::uint32_t>(pid))) return 0;
    if (pid < 1) return 0;
    try {
        return moveOffender(static_cast<std::uint32_t>(pid));
    } catch (...) {
        affinity().metrics.failedTotal.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
}

}  // namespace zk::affinity
