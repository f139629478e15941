#include "timeline_pace.h"

namespace zktl {

std::uint64_t runPaced(const PaceClock& clock, std::uint64_t durationMs,
                       const std::function<bool(std::uint64_t elapsedMs)>& tick) {
    const std::uint64_t start = clock.nowMs();
    std::uint64_t ticks = 0;
    for (std::uint64_t next = kRowPeriodMs; next <= durationMs;) {
        const std::uint64_t now = clock.nowMs() - start;
        if (now < next) {
            clock.sleepMs(static_cast<std::uint32_t>(next - now));
            continue;
        }
        ++ticks;
        if (!tick(now)) break;
        next = (now / kRowPeriodMs + 1) * kRowPeriodMs;
    }
    return ticks;
}

}  // namespace zktl
