#include "platform/sim/sim_clocks.h"

#include <thread>

namespace zk::sim {

namespace {
// 2026-12-06 12:00:00.000 local, as the machine's start of time.
constexpr std::uint64_t kBootFileTime = 134094384000000000ull;
// The system time moves on at each clock interrupt, 15.625 ms by default; only the
// precise reading sees between two.
constexpr std::uint64_t kClockTick = 156250;
}  // namespace

std::uint64_t SimClocks::now() {
    std::lock_guard lk(core_.m);
    return core_.nowNs;
}

std::int64_t SimClocks::queryPerformanceCounter() { return static_cast<std::int64_t>(now() / 100); }
std::uint64_t SimClocks::tickCount64() { return now() / 1000000ull; }
std::uint64_t SimClocks::steadyNs() { return now(); }
std::uint64_t SimClocks::systemTimeAsFileTime() { return kBootFileTime + now() / 100 / kClockTick * kClockTick; }

std::uint64_t SimClocks::preciseSystemTimeAsFileTime() {
    if (core_.hidden(Routine::GetSystemTimePreciseAsFileTime)) return systemTimeAsFileTime();
    return kBootFileTime + now() / 100;
}

platform::LocalTime SimClocks::localTime() {
    const std::uint64_t ms = now() / 1000000ull;
    // The clock starts at 2026-12-06 12:00:00.000 and stays within the month in any test.
    platform::LocalTime t;
    t.year = 2026;
    t.month = 12;
    std::uint64_t secs = 12 * 3600 + ms / 1000;
    const std::uint64_t days = secs / 86400;
    t.day = static_cast<std::uint16_t>(6 + days);
    t.dayOfWeek = static_cast<std::uint16_t>(days % 7);  // the 6th is a Sunday
    secs %= 86400;
    t.hour = static_cast<std::uint16_t>(secs / 3600);
    t.minute = static_cast<std::uint16_t>(secs / 60 % 60);
    t.second = static_cast<std::uint16_t>(secs % 60);
    t.milliseconds = static_cast<std::uint16_t>(ms % 1000);
    return t;
}

void SimClocks::sleepMs(std::uint32_t ms) {
    {
        std::lock_guard lk(core_.m);
        std::uint64_t extraUs = 0;
        if (!overshootUs.empty()) {
            extraUs = overshootUs.front();
            overshootUs.pop_front();
        }
        core_.nowNs += ms * 1000000ull + extraUs * 1000ull;
        ++sleeps;
    }
    // Let other threads run, as a real sleep would, without waiting real time.
    std::this_thread::yield();
}

}  // namespace zk::sim
