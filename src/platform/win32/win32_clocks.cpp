#include "platform/win32/win32_areas.h"

namespace zk::platform::win32 {

std::int64_t Win32Clocks::queryPerformanceCounter() {
    LARGE_INTEGER v;
    QueryPerformanceCounter(&v);
    return v.QuadPart;
}

std::int64_t Win32Clocks::queryPerformanceFrequency() {
    LARGE_INTEGER v;
    QueryPerformanceFrequency(&v);
    return v.QuadPart;
}

std::uint64_t Win32Clocks::tickCount64() { return GetTickCount64(); }

std::uint64_t Win32Clocks::steadyNs() {
    static const std::int64_t freq = queryPerformanceFrequency();
    const std::int64_t c = queryPerformanceCounter();
    return static_cast<std::uint64_t>(c / freq) * 1000000000ull +
           static_cast<std::uint64_t>(c % freq) * 1000000000ull / static_cast<std::uint64_t>(freq);
}

std::uint64_t Win32Clocks::systemTimeAsFileTime() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return fileTime(ft);
}

std::uint64_t Win32Clocks::preciseSystemTimeAsFileTime() {
    const auto precise = routines().getSystemTimePreciseAsFileTime;
    if (!precise) return systemTimeAsFileTime();
    FILETIME ft;
    precise(&ft);
    return fileTime(ft);
}

LocalTime Win32Clocks::localTime() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return LocalTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

void Win32Clocks::sleepMs(std::uint32_t ms) { Sleep(ms); }

}  // namespace zk::platform::win32
