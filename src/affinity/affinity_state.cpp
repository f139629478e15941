#include "affinity/affinity_state.h"

#include "affinity/affinity_module.h"
#include "platform/platform.h"

namespace zk::affinity {

AffinitySettings AffinityState::settings() {
    std::lock_guard lk(mutex_);
    return settings_;
}

void AffinityState::setSettings(const AffinitySettings& s) {
    {
        std::lock_guard lk(mutex_);
        settings_ = s;
    }
    signaturePolicy_.store(s.signaturePolicyEnabled, std::memory_order_relaxed);
    cacheTtlSec_.store(s.signatureCacheTtlSec, std::memory_order_relaxed);
    timeoutMs_.store(s.signatureTimeoutMs, std::memory_order_relaxed);
    rateLimit_.store(s.rateLimitEnabled, std::memory_order_relaxed);
    rateLimitMs_.store(s.rateLimitMs, std::memory_order_relaxed);
}

bool AffinityState::childMonitorEnabled() {
    std::lock_guard lk(mutex_);
    return settings_.childMonitorEnabled;
}

std::int32_t AffinityState::childMonitorPollMs() {
    std::lock_guard lk(mutex_);
    return settings_.childMonitorPollMs;
}

void AffinityState::SetInverseState(std::uint32_t pid, const CoreList& cores) {
    const auto now = static_cast<std::int64_t>(platform::clocks().steadyNs());
    std::lock_guard lk(mutex_);
    inverse_.usingInverse = true;
    inverse_.targetPid = pid;
    inverse_.cores = cores;
    inverse_.appliedNs = now;
}

void AffinityState::ClearInverseState() {
    std::lock_guard lk(mutex_);
    inverse_.usingInverse = false;
    inverse_.targetPid = 0;
    inverse_.cores.clear();
}

InverseSnapshot AffinityState::SnapshotInverseState() {
    std::lock_guard lk(mutex_);
    return {inverse_, settings_.reapplyIntervalSec};
}

void AffinityState::markReapplied(std::int64_t nowNs) {
    {
        std::lock_guard lk(mutex_);
        inverse_.appliedNs = nowNs;
    }
    affinity().metrics.reappliedTotal.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace zk::affinity
