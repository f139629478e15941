#pragma once
// Clocks and sleeping.

#include <cstdint>

namespace zk::platform {

// SYSTEMTIME of the local time zone.
struct LocalTime {
    std::uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class Clocks {
public:
    virtual ~Clocks() = default;

    virtual std::int64_t queryPerformanceCounter() = 0;
    virtual std::int64_t queryPerformanceFrequency() = 0;
    virtual std::uint64_t tickCount64() = 0;
    virtual std::uint64_t steadyNs() = 0;
    // GetSystemTimeAsFileTime: UTC in 100 ns units, moving on at each clock tick.
    virtual std::uint64_t systemTimeAsFileTime() = 0;
    // GetSystemTimePreciseAsFileTime (resolved at run time; Windows 8 and later), to the
    // microsecond; the ticking system time where the system lacks it.
    virtual std::uint64_t preciseSystemTimeAsFileTime() = 0;
    virtual LocalTime localTime() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
};

}  // namespace zk::platform
