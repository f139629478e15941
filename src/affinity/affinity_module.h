#pragma once
// The affinity module's process-wide state, one object with each lock beside what it
// guards: the log lock, the limiter's, the state lock (configuration and inverse layout),
// the event store's and the verdict cache's. The only nesting is cache, then log.

#include <atomic>
#include <cstdint>

#include "affinity/affinity_log.h"
#include "affinity/affinity_state.h"
#include "affinity/child_monitor.h"
#include "affinity/rate_limiter.h"
#include "affinity/security_events.h"
#include "affinity/signature_policy.h"

namespace zk::affinity {

struct AffinityModule {
    AffinityLogger log;
    OperationRateLimiter limiter;
    AffinityState state;
    AffinityMetrics metrics;
    SecurityEvents events;
    SignatureVerdictCache verdicts;
    ChildMonitorControl monitor;
    std::atomic<std::int32_t> coreCount{0};  // 0: not read yet

    void resetForTests();
};

AffinityModule& affinity();

}  // namespace zk::affinity
