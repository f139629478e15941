#include "power/power_api.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/power_guids.h"

namespace zk::power {

namespace {

using platform::Guid;

// Serialises the four setters.
std::mutex& powerApiLock() {
    static std::mutex* m = new std::mutex;
    return *m;
}

void PowerLog(const char* message) {
    platform::System& s = platform::system();
    s.outputDebugString("[ZELKOR.POWER] ");
    s.outputDebugString(message);
    s.outputDebugString("\n");
    s.writeStdErr(std::string("[ZELKOR.POWER] ") + message + "\n");
}

// A message formatted into a buffer of `N` characters, as the lines with numbers are.
template <std::size_t N>
void PowerLogf(const char* format, ...) {
    char buf[N];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    PowerLog(buf);
}

std::optional<Guid> ResolvePlanGuid(const Guid* plan) {
    if (plan) return *plan;
    std::optional<Guid> active;
    const std::uint32_t rc = platform::power().powerGetActiveScheme(active);
    if (rc != 0 || !active) {
        PowerLogf<128>("ResolvePlanGuid: PowerGetActiveScheme FAILED (error=%lu).", static_cast<unsigned long>(rc));
        return std::nullopt;
    }
    return active;
}

struct OneSetting {
    const Guid* subgroup;
    const Guid* setting;
    const char* planLine;
    const char* acLine;
    const char* activationLine;
    const char* successLine;
};

// Writes one setting to 0 on AC and DC and activates the plan; the resolved plan, never
// the caller's pointer, which is null for the active scheme.
std::int32_t setToZero(const Guid* plan, const OneSetting& s) {
    std::lock_guard lk(powerApiLock());
    const std::optional<Guid> scheme = ResolvePlanGuid(plan);
    if (!scheme) {
        PowerLog(s.planLine);
        return 0;
    }
    platform::Power& p = platform::power();
    if (p.powerWriteAcValueIndex(&*scheme, s.subgroup, s.setting, 0) != 0) {
        PowerLog(s.acLine);
        return 0;
    }
    p.powerWriteDcValueIndex(&*scheme, s.subgroup, s.setting, 0);  // a failure here is not reported
    if (p.powerSetActiveScheme(&*scheme) != 0) {
        PowerLog(s.activationLine);
        return 0;
    }
    PowerLog(s.successLine);
    return 1;
}

}  // namespace

std::int32_t getActivePlan(Guid* out) {
    if (!out) return 0;
    std::optional<Guid> active;
    const std::uint32_t rc = platform::power().powerGetActiveScheme(active);
    if (rc == 0 && active) {
        *out = *active;
        PowerLog("Zelkor_Power_GetActivePlan: active scheme GUID retrieved.");
        return 1;
    }
    PowerLogf<128>("Zelkor_Power_GetActivePlan FAILED (error=%lu).", static_cast<unsigned long>(rc));
    return 0;
}

std::uint32_t getLastError() {
    const std::uint32_t code = platform::lastError();  // before logging can change it
    PowerLogf<128>("Zelkor_Power_GetLastError: %lu.", static_cast<unsigned long>(code));
    return code;
}

std::uint32_t isElevated() {
    bool elevated = false;
    {
        const platform::TokenHandle token = platform::tokens().openProcessToken(win::TOKEN_QUERY);
        if (!token || !platform::tokens().getTokenElevation(token, elevated)) elevated = false;
    }
    PowerLog(elevated ? "Zelkor_Power_IsElevated: process is elevated."
                      : "Zelkor_Power_IsElevated: process is NOT elevated.");
    return elevated ? 1 : 0;
}

std::int32_t setCpuThrottle(const Guid* plan, std::uint32_t minPercent, std::int32_t maxPercent) {
    if (minPercent > 100 || maxPercent < 0 || maxPercent > 100 || minPercent > static_cast<std::uint32_t>(maxPercent))
        return 0;
    std::lock_guard lk(powerApiLock());
    const std::optional<Guid> scheme = ResolvePlanGuid(plan);
    if (!scheme) {
        PowerLog("Zelkor_Power_SetCpuThrottle: FAILED (ResolvePlanGuid).");
        return 0;
    }
    platform::Power& p = platform::power();
    const Guid* cpu = &win::GUID_PROCESSOR_SETTINGS_SUBGROUP;
    const auto max = static_cast<std::uint32_t>(maxPercent);
    if (p.powerWriteAcValueIndex(&*scheme, cpu, &win::GUID_PROCESSOR_THROTTLE_MINIMUM, minPercent) != 0) {
        PowerLog("Zelkor_Power_SetCpuThrottle: FAILED (AC MIN).");
        return 0;
    }
    if (p.powerWriteAcValueIndex(&*scheme, cpu, &win::GUID_PROCESSOR_THROTTLE_MAXIMUM, max) != 0) {
        PowerLog("Zelkor_Power_SetCpuThrottle: FAILED (AC MAX).");
        return 0;
    }
    p.powerWriteDcValueIndex(&*scheme, cpu, &win::GUID_PROCESSOR_THROTTLE_MINIMUM, minPercent);  // not reported
    p.powerWriteDcValueIndex(&*scheme, cpu, &win::GUID_PROCESSOR_THROTTLE_MAXIMUM, max);
    if (p.powerSetActiveScheme(&*scheme) != 0) {
        PowerLog("Zelkor_Power_SetCpuThrottle: FAILED (PowerSetActiveScheme).");
        return 0;
    }
    PowerLogf<160>("Zelkor_Power_SetCpuThrottle: SUCCESS (plan tuned, min=%d, max=%d).", static_cast<int>(minPercent),
                   static_cast<int>(maxPercent));
    return 1;
}

std::int32_t setHighPerformance() {
    std::lock_guard lk(powerApiLock());
    const std::uint32_t rc = platform::power().powerSetActiveScheme(&win::GUID_MIN_POWER_SAVINGS);
    if (rc != 0) {
        PowerLogf<128>("Failed to activate High Performance scheme (error=%lu).", static_cast<unsigned long>(rc));
        PowerLog("Zelkor_Power_SetHighPerformance: FAILED.");
        return 0;
    }
    PowerLog("High Performance power scheme activated.");
    PowerLog("Zelkor_Power_SetHighPerformance: SUCCESS.");
    return 1;
}

std::int32_t setPcieAspmDisabled(const Guid* plan) {
    return setToZero(plan, {&win::GUID_PCIEXPRESS_SETTINGS_SUBGROUP, &win::GUID_PCIEXPRESS_ASPM_POLICY,
                            "Zelkor_Power_SetPcieAspmDisabled: FAILED (ResolvePlanGuid).",
                            "Zelkor_Power_SetPcieAspmDisabled: FAILED (AC).",
                            "Zelkor_Power_SetPcieAspmDisabled: FAILED (PowerSetActiveScheme).",
                            "Zelkor_Power_SetPcieAspmDisabled: SUCCESS (PCIe ASPM disabled on selected scheme)."});
}

std::int32_t setWifiMaxPerf(const Guid* plan) {
    return setToZero(plan, {&win::GUID_WIRELESS_ADAPTER_SETTINGS_SUBGROUP, &win::GUID_WIRELESS_POWER_SAVING_MODE,
                            "Zelkor_Power_SetWifiMaxPerf: FAILED (ResolvePlanGuid).",
                            "Zelkor_Power_SetWifiMaxPerf: FAILED (AC).",
                            "Zelkor_Power_SetWifiMaxPerf: FAILED (PowerSetActiveScheme).",
                            "Zelkor_Power_SetWifiMaxPerf: SUCCESS (WiFi max performance on selected scheme)."});
}

}  // namespace zk::power
