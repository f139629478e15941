#pragma once
// The rate limit of the layout exports: a refused call records a RateLimited event under
// the export's short name and does nothing else.

#include <cstdint>

namespace zk::affinity {

struct RateGate {
    const char* limiterName;
    const char* eventName;
    bool atLeastOneSecond;  // ApplyBoost never runs more often than once a second
};

inline constexpr RateGate kApplyBoostGate{"ApplyBoost", "ApplyBoostForPid", true};
inline constexpr RateGate kApplyInverseGate{"ApplyInverse", "ApplyInverseForPid", false};
inline constexpr RateGate kOffenderGate{"ApplyInverseOffender", "ApplyInverseForOffenderPid", false};
inline constexpr RateGate kDynamicStepGate{"DynamicStep", "DynamicStepForPid", false};
inline constexpr RateGate kRefreshGate{"RefreshInverse", "RefreshInverse", false};

// The interval a gate uses now.
std::int64_t effectiveIntervalMs(const RateGate& gate);
// True when admitted (or the limiter is off); a refusal records its event for pid.
bool admit(const RateGate& gate, std::uint32_t eventPid);

}  // namespace zk::affinity
