#include "affinity/boost.h"

#include <exception>
#include <string>

#include "affinity/affinity_log.h"
#include "affinity/affinity_module.h"
#include "affinity/child_monitor.h"
#include "affinity/inverse_layout.h"
#include "affinity/process_utils.h"
#include "affinity/rate_gate.h"
#include "affinity/signature_policy.h"
#include "common/text_format.h"
#include "platform/platform.h"

namespace zk::affinity {

namespace {

std::int32_t boost(std::uint32_t pid) {
    if (!ProcessExists(pid)) {
        LogInfo("[Affinity] ApplyBoost: PID not found or exited");
        return 0;
    }
    switch (signatureGate(pid, kApplyBoostGate.eventName)) {
        case GateResult::Allowed: break;
        case GateResult::Rejected:
            LogWarning("[Security] ApplyBoost aborted: signature policy rejected target");
            return 0;
        case GateResult::CheckFailed: return 0;
    }
    const std::int32_t n = LogicalCoreCount();
    if (tooFewCores(n)) {
        LogInfo(text::Message() << "[Affinity] ApplyBoost skipped: CPU has " << n
                                << " logical cores (no affinity on <=4 cores).");
        return 0;
    }
    const CoreList pinSet = BuildBackgroundPinSet(n);
    if (!ApplyInverseLayout(pid, pinSet)) {
        LogWarning("[Affinity] Inverse-only layout failed");
        return 0;
    }
    affinity().state.SetInverseState(pid, pinSet);
    StartChildMonitor(static_cast<std::int32_t>(pid));
    LogInfo("[Affinity] Inverse-only layout applied (stateless-ready; no restore tracking)");
    return 1;
}

// Keeps the active layout for pid: untouched within the interval, re-applied after it.
std::int32_t holdOrReapply(std::uint32_t pid, const InverseSnapshot& snap, std::int64_t nowNs) {
    const std::int64_t elapsedSec = (nowNs - snap.inverse.appliedNs) / 1000000000;
    if (elapsedSec < snap.reapplyIntervalSec) return 1;
    if (!ApplyInverseLayout(pid, snap.inverse.cores)) return 0;
    affinity().state.markReapplied(nowNs);
    return 1;
}

std::int32_t newLayout(std::uint32_t pid, const double* samples, std::int32_t count) {
    const std::int32_t n = LogicalCoreCount();
    if (tooFewCores(n)) {
        LogInfo(text::Message() << "[DynamicAffinity] Skipped: CPU has " << n
                                << " logical cores (no affinity on <=4 cores).");
        return 0;
    }
    // Read in place: the class changes nothing yet, so a copy would only allocate.
    const CoreList pinSet = BuildBackgroundPinSet(n, loadClassOf(samples, static_cast<std::size_t>(count)));
    if (!ProcessExists(pid)) return 0;
    switch (signatureGate(pid, kDynamicStepGate.eventName)) {
        case GateResult::Allowed: break;
        case GateResult::Rejected:
            LogWarning("[Security] DynamicStep aborted: signature policy rejected target");
            return 0;
        case GateResult::CheckFailed: return 0;
    }
    if (!ApplyInverseLayout(pid, pinSet)) return 0;
    affinity().state.SetInverseState(pid, pinSet);
    LogInfo("[DynamicAffinity] Inverse layout activated via DynamicStep (stateless-ready)");
    return 1;
}

}  // namespace

int loadClassOf(const double* samples, std::size_t count) {
    if (!samples || count == 0) return 2;
    double sum = 0, max = 0;
    std::size_t above70 = 0, below25 = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double s = samples[i];
        sum += s;
        // An equal sample leaves the same maximum.
        if (s > max) max = s;
        above70 += s > 70 ? 1 : 0;
        below25 += s < 25 ? 1 : 0;
    }
    const std::size_t half = count / 2;
    const double mean = sum / static_cast<double>(count);
    if (max > 85 && above70 == 1 && below25 > half) return 0;
    if (above70 >= half) return 1;
    if (mean >= 30) return 2;
    return max > 60 ? 3 : 2;
}

std::int32_t ApplyBoostForPid(std::int32_t pid) {
    const auto target = static_cast<std::uint32_t>(pid);
    if (!admit(kApplyBoostGate, target)) {
        LogDebug("[RateLimit] ApplyBoostForPid called too frequently");
        return 0;
    }
    try {
        return boost(target);
    } catch (const std::exception& e) {
        LogError(std::string("[Affinity] ApplyBoostForPid exception: ") + e.what());
    } catch (...) {
        LogError("[Affinity] Unexpected error in ApplyBoostForPid");
    }
    return 0;
}

std::int32_t DynamicStepForPid(std::int32_t pid, const double* samples, std::int32_t count) {
    if (!samples || count < 1) return 0;
    try {
        const auto target = static_cast<std::uint32_t>(pid);
        if (!admit(kDynamicStepGate, target)) {
            LogDebug("[RateLimit] DynamicStepForPid skipped (too frequent)");
            return 0;
        }
        const InverseSnapshot snap = affinity().state.SnapshotInverseState();
        const auto now = static_cast<std::int64_t>(platform::clocks().steadyNs());
        if (snap.activeFor(target)) return holdOrReapply(target, snap, now);
        return newLayout(target, samples, count);
    } catch (...) {
        LogError("[DynamicAffinity] Unexpected error");
        return 0;
    }
}

}  // namespace zk::affinity
