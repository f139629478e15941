#pragma once
// Sampling on a fixed 100 ms grid measured from the start, so a late wake-up never shifts
// the rows that follow it; a wake-up later than a whole slot skips that slot.

#include <cstdint>
#include <functional>

namespace zktl {

inline constexpr std::uint64_t kRowPeriodMs = 100;

struct PaceClock {
    std::function<std::uint64_t()> nowMs;
    std::function<void(std::uint32_t)> sleepMs;
};

// Calls tick(elapsedMs) at each 100 ms mark after the start, until durationMs has passed
// or tick returns false. Returns how many times tick ran.
std::uint64_t runPaced(const PaceClock& clock, std::uint64_t durationMs,
                       const std::function<bool(std::uint64_t elapsedMs)>& tick);

}  // namespace zktl
