#pragma once
// The simulated machine's clocks: one manual clock in nanoseconds that only the test and
// sleeps move.

#include <cstdint>
#include <deque>

#include "platform/sim/sim_core.h"

namespace zk::sim {

class SimClocks final : public platform::Clocks {
public:
    explicit SimClocks(SimCore& core) : core_(core) {}

    // The machine's side (caller holds the core lock).
    std::deque<std::uint64_t> overshootUs;  // each later sleep takes this much longer
    std::uint64_t sleeps = 0;

    std::int64_t queryPerformanceCounter() override;
    std::int64_t queryPerformanceFrequency() override { return 10000000; }
    std::uint64_t tickCount64() override;
    std::uint64_t steadyNs() override;
    std::uint64_t systemTimeAsFileTime() override;
    std::uint64_t preciseSystemTimeAsFileTime() override;
    platform::LocalTime localTime() override;
    void sleepMs(std::uint32_t ms) override;

private:
    std::uint64_t now();
    SimCore& core_;
};

}  // namespace zk::sim
