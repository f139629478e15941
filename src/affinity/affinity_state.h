#pragma once
// The configuration and the active inverse layout, under one state lock, with lock-free
// copies of the fields the exports test on every call. Values are stored as given; the
// clamps apply where they are used.

#include <atomic>
#include <cstdint>
#include <mutex>

#include "affinity/core_topology.h"

namespace zk::affinity {

struct AffinitySettings {
    std::int32_t reapplyIntervalSec = 30;
    bool childMonitorEnabled = false;
    std::int32_t childMonitorPollMs = 250;
    bool signaturePolicyEnabled = true;
    std::int32_t signatureCacheTtlSec = 300;
    std::int32_t signatureTimeoutMs = 5000;
    bool rateLimitEnabled = true;
    std::int32_t rateLimitMs = 100;
};

struct InverseState {
    bool usingInverse = false;
    std::uint32_t targetPid = 0;
    CoreList cores;
    std::int64_t appliedNs = 0;  // steady clock
};

struct InverseSnapshot {
    InverseState inverse;
    std::int32_t reapplyIntervalSec = 0;
    // A layout for pid is active and can be re-applied.
    bool activeFor(std::uint32_t pid) const { return inverse.usingInverse && inverse.targetPid == pid; }
    bool usable() const { return inverse.usingInverse && inverse.targetPid >= 1 && !inverse.cores.empty(); }
};

class AffinityState {
public:
    AffinitySettings settings();
    void setSettings(const AffinitySettings& s);
    bool childMonitorEnabled();
    std::int32_t childMonitorPollMs();

    void SetInverseState(std::uint32_t pid, const CoreList& cores);
    void ClearInverseState();
    InverseSnapshot SnapshotInverseState();
    void markReapplied(std::int64_t nowNs);

    // Lock-free copies, seen field by field by a concurrent setSettings.
    bool signaturePolicyEnabled() const { return signaturePolicy_.load(std::memory_order_relaxed); }
    std::int32_t signatureCacheTtlSec() const { return cacheTtlSec_.load(std::memory_order_relaxed); }
    std::int32_t signatureTimeoutMs() const { return timeoutMs_.load(std::memory_order_relaxed); }
    bool rateLimitEnabled() const { return rateLimit_.load(std::memory_order_relaxed); }
    std::int32_t rateLimitMs() const { return rateLimitMs_.load(std::memory_order_relaxed); }

private:
    std::mutex mutex_;  // the state lock
    AffinitySettings settings_;
    InverseState inverse_;
    std::atomic<bool> signaturePolicy_{true};
    std::atomic<std::int32_t> cacheTtlSec_{300};
    std::atomic<std::int32_t> timeoutMs_{5000};
    std::atomic<bool> rateLimit_{true};
    std::atomic<std::int32_t> rateLimitMs_{100};
};

struct AffinityMetrics {
    std::atomic<std::uint64_t> modifiedTotal{0};
    std::atomic<std::uint64_t> failedTotal{0};
    std::atomic<std::uint64_t> reappliedTotal{0};

    void reset() {
        modifiedTotal.store(0, std::memory_order_relaxed);
        failedTotal.store(0, std::memory_order_relaxed);
        reappliedTotal.store(0, std::memory_order_relaxed);
    }
};

}  // namespace zk::affinity
