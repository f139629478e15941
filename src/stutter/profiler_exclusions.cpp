#include "stutter/profiler_exclusions.h"

#include <array>
#include <string_view>

namespace zk::stutter {

namespace {

constexpr std::array<std::string_view, 12> kSystem = {
    "system",       "idle",         "csrss.exe", "wininit.exe", "winlogon.exe",       "services.exe",
    "lsass.exe",    "smss.exe",     "svchost.exe", "dwm.exe",   "memory compression", "registry"};

constexpr std::array<std::string_view, 3> kCompanions = {
    "zelkorperformanceengine.exe", "zelkor_performance_engine.exe", "zelkorservice.exe"};

constexpr std::size_t kLongest = 29;  // "zelkor_performance_engine.exe"

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& set, std::string_view name) {
    for (auto s : set)
        if (s == name) return true;
    return false;
}

}  // namespace

std::span<const std::string_view> profilerSystemNames() { return kSystem; }
std::span<const std::string_view> profilerCompanionNames() { return kCompanions; }

bool profilerExcludes(const char16_t* exeName, std::size_t maxChars) {
    // Every listed name is ASCII and short, so a longer name or any other character
    // cannot match; lower-casing into a small stack buffer keeps the walk allocation-free.
    char lower[kLongest + 1];
    std::size_t n = 0;
    for (; n < maxChars && exeName[n] != 0; ++n) {
        const char16_t c = exeName[n];
        if (n == kLongest || c >= 0x80) return false;
        lower[n] = static_cast<char>(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
    }
    const std::string_view name(lower, n);
    return contains(kSystem, name) || contains(kCompanions, name);
}

}  // namespace zk::stutter
