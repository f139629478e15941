#pragma once
// A simulated machine for the power module: the boost's log lines kept without their
// prefix and time stamp, and the AC and DC values of the schemes' settings.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/power_guids.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace zk::test {

using platform::Guid;
using Lines = std::vector<std::string>;

inline const Guid kBalanced = win::GUID_TYPICAL_POWER_SAVINGS;
inline const Guid kHighPerf = win::GUID_MIN_POWER_SAVINGS;
inline const Guid kMin = win::GUID_PROCESSOR_THROTTLE_MINIMUM;
inline const Guid kMax = win::GUID_PROCESSOR_THROTTLE_MAXIMUM;
inline const Guid kBoostMode = win::GUID_PROCESSOR_PERF_BOOST_MODE;
inline const Guid kCorePark = win::GUID_PROCESSOR_CORE_PARKING_MIN_CORES;
inline const std::string kBalancedText = "381B4222-F694-41F0-9685-FF5BB260DF2E";

class PowerTest : public MachineTest {
protected:
    void SetUp() override { listen(); }

    // Registers the boost's log callback and forgets the lines kept so far.
    static void listen() {
        lines().clear();
        SetDriverlessLogCallback(&keep);
    }
    // The kept lines as "[LEVEL] message".
    static Lines& lines() {
        static Lines kept;
        return kept;
    }
    static bool logged(const std::string& levelAndMessage) {
        return std::find(lines().begin(), lines().end(), levelAndMessage) != lines().end();
    }

    // A processor setting's AC value in a scheme (0 when absent).
    std::uint32_t ac(const Guid& setting, const Guid& scheme = kBalanced) {
        return value(win::GUID_PROCESSOR_SETTINGS_SUBGROUP, setting, scheme).ac;
    }
    sim::PowerValue value(const Guid& subgroup, const Guid& setting, const Guid& scheme = kBalanced) {
        return machine.powerValue(scheme, subgroup, setting).value_or(sim::PowerValue{});
    }
    // The four processor settings' AC values: minimum, maximum, boost mode, core parking.
    std::vector<std::uint32_t> processorAc(const Guid& scheme = kBalanced) {
        return {ac(kMin, scheme), ac(kMax, scheme), ac(kBoostMode, scheme), ac(kCorePark, scheme)};
    }

private:
    static void ZK_CALL keep(const char* line) {
        // "[ZELKOR.Driverless] [2026-12-06 12:00:00] [INFO] message"
        std::string l(line);
        const auto tag = l.find("] [", l.find("] [") + 1);
        lines().push_back(tag == std::string::npos ? l : l.substr(tag + 2));
    }
};

}  // namespace zk::test
