#include "affinity/rate_gate.h"

#include "affinity/affinity_module.h"
#include "common/text_format.h"

namespace zk::affinity {

std::int64_t effectiveIntervalMs(const RateGate& gate) {
    const std::int32_t configured = affinity().state.rateLimitMs();
    const std::int64_t ms = configured <= 0 ? 100 : configured;
    return gate.atLeastOneSecond && ms < 1000 ? 1000 : ms;
}

bool admit(const RateGate& gate, std::uint32_t eventPid) {
    AffinityModule& m = affinity();
    if (!m.state.rateLimitEnabled()) return true;
    const std::int64_t interval = effectiveIntervalMs(gate);
    if (m.limiter.allow(gate.limiterName, interval)) return true;
    RecordSecurityEvent(SecurityEventKind::RateLimited, eventPid, gate.eventName,
                        (text::Message() << "Rate limit: " << interval << " ms").str());
    return false;
}

}  // namespace zk::affinity
