// The inverse layout for a game on the host's request, and the dump of the active layout.

#include <string>

#include "affinity/affinity_log.h"
#include "affinity/affinity_module.h"
#include "affinity/inverse_layout.h"
#include "affinity/rate_gate.h"
#include "affinity/signature_policy.h"
#include "common/text_format.h"

namespace zk::affinity {

std::int32_t ApplyInverseForPid(std::int32_t pid) {
    const auto target = static_cast<std::uint32_t>(pid);
    if (!admit(kApplyInverseGate, target)) return 0;
    const std::int32_t n = LogicalCoreCount();
    if (tooFewCores(n)) {
        LogInfo(text::Message() << "[InverseAffinity] ApplyInverse skipped: CPU has " << n
                                << " logical cores (no affinity on <=4 cores).");
        return 0;
    }
    if (signatureGate(target, kApplyInverseGate.eventName) != GateResult::Allowed) return 0;
    const CoreList pinSet = BuildBackgroundPinSet(n);
    if (!ApplyInverseLayout(target, pinSet)) return 0;
    affinity().state.SetInverseState(target, pinSet);
    return 1;
}

void DiagnoseStatus() {
    const InverseState s = affinity().state.SnapshotInverseState().inverse;
    text::Message m;
    m << "=== AFFINITY DIAGNOSTIC ===\nusing_inverse=" << (s.usingInverse ? "true" : "false")
      << "\ninverse_target_pid=" << s.targetPid << "\ninverse_cores=";
    for (const std::int32_t c : s.cores) m << c << " ";
    m << "\n============================";
    LogInfo(m);
}

}  // namespace zk::affinity
