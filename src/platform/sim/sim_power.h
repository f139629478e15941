#pragma once
// The simulated machine's power management: processor power information, the power
// schemes with their AC and DC setting values, and the system power status.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_core.h"

namespace zk::sim {

using platform::Guid;
using platform::SystemPowerStatus;

// One processor entry of NtPowerInformation(ProcessorInformation).
struct ProcessorPower {
    std::uint32_t number = 0;
    std::uint32_t maxMhz = 3000;
    std::uint32_t currentMhz = 3000;
    std::uint32_t mhzLimit = 3000;
    std::uint32_t maxIdleState = 1;
    std::uint32_t currentIdleState = 0;
};

// A power setting's values in one scheme.
struct PowerValue {
    std::uint32_t ac = 0;
    std::uint32_t dc = 0;
    friend bool operator==(const PowerValue&, const PowerValue&) = default;
};

// A GUID as lower-case text without braces, as powercfg prints it.
std::string guidText(const Guid& g);

class SimPower final : public platform::Power {
public:
    explicit SimPower(SimCore& core);

    // The machine's side (caller holds the core lock).
    std::vector<ProcessorPower> processors;
    // Schemes by GUID text, each setting by "subgroup/setting" GUID texts. The machine
    // starts with Balanced (active) and High performance, both with the four processor
    // settings the boost uses.
    std::map<std::string, std::map<std::string, PowerValue>> schemes;
    Guid active;
    // Reads or writes of one setting (in any scheme) that fail with this error.
    std::map<std::string, std::uint32_t> readFailures, writeFailures;
    SystemPowerStatus status;
    static std::string settingKey(const Guid& subgroup, const Guid& setting);

    std::int32_t ntPowerInformation(std::uint32_t level, const void* input, std::uint32_t inputSize, void* output,
                                    std::uint32_t outputSize) override;
    std::uint32_t powerGetActiveScheme(std::optional<Guid>& out) override;
    std::uint32_t powerSetActiveScheme(const Guid* scheme) override;
    std::uint32_t powerReadAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                        std::uint32_t& value) override;
    std::uint32_t powerWriteAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                         std::uint32_t value) override;
    std::uint32_t powerWriteDcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                         std::uint32_t value) override;
    bool getSystemPowerStatus(SystemPowerStatus& out) override;

private:
    // Counts the call and applies a hidden routine or an injected fault: the error, or 0.
    std::uint32_t enterPowrprof(Routine r, Op op);
    std::uint32_t writeValue(Routine r, Op op, const Guid* scheme, const Guid* subgroup, const Guid* setting,
                             std::uint32_t value, bool ac);

    SimCore& core_;
};

}  // namespace zk::sim
