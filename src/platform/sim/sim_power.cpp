#include "platform/sim/sim_power.h"

#include <cstring>

namespace zk::sim {

SimPower::SimPower(SimCore& core) : processors(8), core_(core) {
    for (std::uint32_t i = 0; i < processors.size(); ++i) processors[i].number = i;
}

std::int32_t SimPower::ntPowerInformation(std::uint32_t level, const void*, std::uint32_t, void* output,
                                          std::uint32_t outputSize) {
    if (core_.hidden(Routine::NtPowerInformation)) return win::STATUS_PROCEDURE_NOT_FOUND;
    std::uint32_t code;
    if (core_.enter(Op::NtPowerInformation, &code)) return static_cast<std::int32_t>(code);
    std::lock_guard lk(core_.m);
    if (level != win::ProcessorInformation) return win::STATUS_INVALID_PARAMETER;
    const std::size_t need = processors.size() * 6 * sizeof(std::uint32_t);
    if (!output || outputSize < need) return win::STATUS_BUFFER_TOO_SMALL;
    auto* out = static_cast<std::uint32_t*>(output);
    for (const auto& p : processors) {
        const std::uint32_t row[6] = {p.number, p.maxMhz, p.currentMhz, p.mhzLimit, p.maxIdleState, p.currentIdleState};
        std::memcpy(out, row, sizeof row);
        out += 6;
    }
    return win::STATUS_SUCCESS;
}

}  // namespace zk::sim
