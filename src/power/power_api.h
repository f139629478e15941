#pragma once
// Single settings of a power scheme, each call on its own: the active scheme, High
// performance, the processor state range, PCI Express link state power management and
// the wireless adapter's power saving, plus elevation and the thread's last error.
// Lines go to "[ZELKOR.POWER] " on the debugger output and standard error.

#include <cstdint>

#include "platform/power.h"

namespace zk::power {

// A null plan means the active scheme.
std::int32_t getActivePlan(platform::Guid* out);
std::uint32_t getLastError();
std::uint32_t isElevated();
std::int32_t setCpuThrottle(const platform::Guid* plan, std::uint32_t minPercent, std::int32_t maxPercent);
std::int32_t setHighPerformance();
std::int32_t setPcieAspmDisabled(const platform::Guid* plan);
std::int32_t setWifiMaxPerf(const platform::Guid* plan);

}  // namespace zk::power
