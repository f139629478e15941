#pragma once
// The simulated machine's processor power information.

#include <cstdint>
#include <vector>

#include "platform/sim/sim_core.h"

namespace zk::sim {

// One processor entry of NtPowerInformation(ProcessorInformation).
struct ProcessorPower {
    std::uint32_t number = 0;
    std::uint32_t maxMhz = 3000;
    std::uint32_t currentMhz = 3000;
    std::uint32_t mhzLimit = 3000;
    std::uint32_t maxIdleState = 1;
    std::uint32_t currentIdleState = 0;
};

class SimPower final : public platform::Power {
public:
    explicit SimPower(SimCore& core);

    std::vector<ProcessorPower> processors;  // the machine's side (caller holds the core lock)

    std::int32_t ntPowerInformation(std::uint32_t level, const void* input, std::uint32_t inputSize, void* output,
                                    std::uint32_t outputSize) override;

private:
    SimCore& core_;
};

}  // namespace zk::sim
