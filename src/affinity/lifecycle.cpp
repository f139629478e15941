#include "affinity/lifecycle.h"

#include "affinity/affinity_log.h"
#include "affinity/affinity_module.h"
#include "affinity/inverse_layout.h"
#include "affinity/process_utils.h"
#include "affinity/rate_gate.h"
#include "platform/platform.h"
#include "platform/privilege.h"

namespace zk::affinity {

std::int32_t RefreshInverse() {
    // A refused refresh reports the layout as fresh: the host polls, and the last admitted
    // call kept it so.
    if (!admit(kRefreshGate, 0)) return 1;
    AffinityModule& m = affinity();
    const InverseSnapshot snap = m.state.SnapshotInverseState();
    if (!snap.usable()) return 0;
    const std::uint32_t game = snap.inverse.targetPid;
    if (!ProcessExists(game)) {
        LogInfo("[InverseAffinity] Game ended \xE2\x86\x92 stopping inverse state (NO restore here)");
        m.state.ClearInverseState();
        return 0;
    }
    const auto now = static_cast<std::int64_t>(platform::clocks().steadyNs());
    if ((now - snap.inverse.appliedNs) / 1000000000 < snap.reapplyIntervalSec) return 1;
    if (!ApplyInverseLayout(game, snap.inverse.cores)) return 0;
    m.state.markReapplied(now);
    return 1;
}

bool EnableTokenPrivilege(const char* name) {
    using Step = platform::PrivilegeResult::Step;
    const platform::PrivilegeResult r = platform::enablePrivilege(name);
    switch (r.failed) {
        case Step::OpenToken: LogWarning("[Privileges] OpenProcessToken FAILED"); return false;
        case Step::Lookup: LogWarning("[Privileges] LookupPrivilegeValueW FAILED"); return false;
        case Step::Adjust: LogWarning("[Privileges] AdjustTokenPrivileges FAILED"); return false;
        case Step::None: break;
    }
    if (r.error == win::ERROR_NOT_ALL_ASSIGNED) {
        LogInfo("[Privileges] Privilege not assigned");
        return false;
    }
    LogInfo("[Privileges] Privilege enabled");
    return true;
}

std::int32_t Initialize() {
    try {
        LogInfo("[Privileges] Initialiseren privileges...");
        for (const char* name : {"SeDebugPrivilege", "SeIncreaseBasePriorityPrivilege",
                                 "SeProfileSingleProcessPrivilege", "SeIncreaseQuotaPrivilege"})
            EnableTokenPrivilege(name);
        LogInfo("[Affinity] Initialize complete (inverse-only, stateless-ready)");
        affinity().metrics.reset();
        return 1;
    } catch (...) {
        return 0;
    }
}

void Cleanup() {
    AffinityModule& m = affinity();
    m.monitor.stopAll();
    m.state.ClearInverseState();
    m.limiter.clear();
    LogInfo("[Affinity] Cleanup complete (no restore performed)");
}

void ResetAll() {
    AffinityModule& m = affinity();
    m.monitor.stopAll();
    m.state.ClearInverseState();
}

}  // namespace zk::affinity
