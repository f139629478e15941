// The affinity module's exports. Each catches everything: no exception crosses the C
// boundary, a failure becomes the export's refusal result.

#include <algorithm>
#include <cstring>
#include <utility>

#include "affinity/affinity_module.h"
#include "affinity/boost.h"
#include "affinity/inverse_layout.h"
#include "affinity/lifecycle.h"
#include "affinity/offender_inverse.h"
#include "zelkor.h"

namespace af = zk::affinity;

namespace {

template <typename Fn, typename R>
R guarded(Fn&& fn, R onFailure) noexcept {
    try {
        return fn();
    } catch (...) {
        return onFailure;
    }
}

template <typename Fn>
void guarded(Fn&& fn) noexcept {
    try {
        fn();
    } catch (...) {
    }
}

// The exports that log are refused from the module's own log callback, whose thread holds
// the log lock (and, for the signature check's line, the verdict cache's lock): they return
// their refusal at once and log nothing.
bool inAffinityCallback() { return af::affinity().log.callingBack(); }

template <typename Fn, typename R>
R logging(Fn&& fn, R refused) noexcept {
    if (inAffinityCallback()) return refused;
    return guarded(std::forward<Fn>(fn), refused);
}

template <typename Fn>
void logging(Fn&& fn) noexcept {
    if (!inAffinityCallback()) guarded(std::forward<Fn>(fn));
}

// Copies text truncated to fit with its NUL.
template <std::size_t N>
void copyTruncated(char (&out)[N], const std::string& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

extern "C" {

ZK_API void ZK_CALL SetAffinityLogCallback(AffinityLogCallback cb) {
    guarded([&] { af::affinity().log.setCallback(cb); });
}

ZK_API void ZK_CALL Zelkor_Affinity_SetMinLogLevel(int32_t level) {
    guarded([&] { af::affinity().log.setMinLevel(level); });
}

ZK_API int32_t ZK_CALL Zelkor_Affinity_Initialize(void) { return logging([] { return af::Initialize(); }, 0); }
ZK_API void ZK_CALL Zelkor_Affinity_Cleanup(void) { logging([] { af::Cleanup(); }); }
ZK_API void ZK_CALL Zelkor_Affinity_ResetAll(void) { guarded([] { af::ResetAll(); }); }

ZK_API int32_t ZK_CALL Zelkor_Affinity_ApplyBoostForPid(int32_t pid) {
    return logging([&] { return af::ApplyBoostForPid(pid); }, 0);
}
ZK_API int32_t ZK_CALL Zelkor_Affinity_ApplyInverseForPid(int32_t pid) {
    return logging([&] { return af::ApplyInverseForPid(pid); }, 0);
}
ZK_API int32_t ZK_CALL Zelkor_Affinity_ApplyInverseForOffenderPid(int32_t pid) {
    return logging([&] { return af::ApplyInverseForOffenderPid(pid); }, 0);
}
ZK_API int32_t ZK_CALL Zelkor_Affinity_DynamicStepForPid(int32_t pid, const double* samples, int32_t count) {
    return logging([&] { return af::DynamicStepForPid(pid, samples, count); }, 0);
}
ZK_API int32_t ZK_CALL Zelkor_Affinity_RefreshInverse(void) {
    return logging([] { return af::RefreshInverse(); }, 0);
}
ZK_API void ZK_CALL Zelkor_Affinity_DiagnoseStatus(void) { logging([] { af::DiagnoseStatus(); }); }

ZK_API void ZK_CALL Zelkor_Affinity_GetConfigC(AffinityConfig* out) {
    if (!out) return;
    guarded([&] {
        const af::AffinitySettings s = af::affinity().state.settings();
        *out = AffinityConfig{s.reapplyIntervalSec,   s.childMonitorEnabled ? 1u : 0u, s.childMonitorPollMs,
                              s.signaturePolicyEnabled ? 1u : 0u, s.signatureCacheTtlSec, s.signatureTimeoutMs,
                              s.rateLimitEnabled ? 1u : 0u,       s.rateLimitMs};
    });
}

ZK_API void ZK_CALL Zelkor_Affinity_SetConfigC(const AffinityConfig* in) {
    if (!in) return;
    guarded([&] {
        const AffinityConfig c = *in;
        af::affinity().state.setSettings({c.reapply_interval_sec, c.child_monitor_enabled != 0,
                                          c.child_monitor_poll_ms, c.signature_policy_enabled != 0,
                                          c.signature_cache_ttl_sec, c.signature_timeout_ms,
                                          c.rate_limit_enabled != 0, c.rate_limit_ms});
    });
}

ZK_API void ZK_CALL Zelkor_Affinity_GetMetrics(uint64_t* modified, uint64_t* failed, uint64_t* reapplied) {
    const af::AffinityMetrics& m = af::affinity().metrics;
    if (modified) *modified = m.modifiedTotal.load(std::memory_order_relaxed);
    if (failed) *failed = m.failedTotal.load(std::memory_order_relaxed);
    if (reapplied) *reapplied = m.reappliedTotal.load(std::memory_order_relaxed);
}

ZK_API void ZK_CALL Zelkor_Affinity_ResetMetrics(void) { af::affinity().metrics.reset(); }

ZK_API int32_t ZK_CALL Zelkor_Affinity_GetSecurityEventsC(AffinitySecurityEventC* out, int32_t max) {
    if (!out || max < 1) return 0;
    return guarded(
        [&] {
            const std::size_t n =
                af::affinity().events.newest(static_cast<std::size_t>(max), [&](const af::SecurityEvent& e, std::size_t i) {
                    AffinitySecurityEventC record;
                    std::memset(&record, 0, sizeof record);
                    record.kind = static_cast<uint32_t>(e.kind);
                    record.pid = e.pid;
                    record.time_ms = e.timeMs;
                    copyTruncated(record.name, e.name);
                    copyTruncated(record.detail, e.detail);
                    std::memcpy(&out[i], &record, sizeof record);
                });
            return static_cast<int32_t>(n);
        },
        0);
}

ZK_API void ZK_CALL Zelkor_Affinity_ClearSecurityEvents(void) {
    guarded([] { af::affinity().events.clear(); });
}

}  // extern "C"
