#include "platform/win32/win32_areas.h"

#include <cstring>
#include <memory>

namespace zk::platform::win32 {

namespace {

static_assert(sizeof(GUID) == sizeof(Guid), "Guid is a GUID");

const GUID* toGuid(const Guid* g) { return reinterpret_cast<const GUID*>(g); }

// PowerGetActiveScheme's buffer, released with LocalFree on every path.
struct LocalFreeDeleter {
    void operator()(GUID* p) const { LocalFree(p); }
};

}  // namespace

std::int32_t Win32Power::ntPowerInformation(std::uint32_t level, const void* input, std::uint32_t inputSize,
                                            void* output, std::uint32_t outputSize) {
    auto fn = routines().ntPowerInformation;
    if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
    return fn(level, const_cast<void*>(input), inputSize, output, outputSize);
}

std::uint32_t Win32Power::powerGetActiveScheme(std::optional<Guid>& out) {
    auto fn = powerRoutines().getActiveScheme;
    if (!fn) return ERROR_PROC_NOT_FOUND;
    GUID* raw = nullptr;
    const DWORD rc = fn(nullptr, &raw);
    const std::unique_ptr<GUID, LocalFreeDeleter> scheme(raw);
    if (rc == ERROR_SUCCESS && scheme) {
        Guid g;
        std::memcpy(static_cast<void*>(&g), scheme.get(), sizeof g);
        out = g;
    }
    return rc;
}

std::uint32_t Win32Power::powerSetActiveScheme(const Guid* scheme) {
    auto fn = powerRoutines().setActiveScheme;
    if (!fn) return ERROR_PROC_NOT_FOUND;
    return fn(nullptr, toGuid(scheme));
}

std::uint32_t Win32Power::powerReadAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                std::uint32_t& value) {
    auto fn = powerRoutines().readAcValueIndex;
    if (!fn) return ERROR_PROC_NOT_FOUND;
    DWORD v = 0;
    const DWORD rc = fn(nullptr, toGuid(scheme), toGuid(subgroup), toGuid(setting), &v);
    if (rc == ERROR_SUCCESS) value = v;
    return rc;
}

std::uint32_t Win32Power::powerWriteAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                 std::uint32_t value) {
    auto fn = powerRoutines().writeAcValueIndex;
    if (!fn) return ERROR_PROC_NOT_FOUND;
    return fn(nullptr, toGuid(scheme), toGuid(subgroup), toGuid(setting), value);
}

std::uint32_t Win32Power::powerWriteDcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                 std::uint32_t value) {
    auto fn = powerRoutines().writeDcValueIndex;
    if (!fn) return ERROR_PROC_NOT_FOUND;
    return fn(nullptr, toGuid(scheme), toGuid(subgroup), toGuid(setting), value);
}

bool Win32Power::getSystemPowerStatus(SystemPowerStatus& out) {
    SYSTEM_POWER_STATUS s{};
    if (!GetSystemPowerStatus(&s)) return false;
    out.acLineStatus = s.ACLineStatus;
    out.batteryFlag = s.BatteryFlag;
    out.batteryLifePercent = s.BatteryLifePercent;
    out.batteryLifeTime = s.BatteryLifeTime;
    out.batteryFullLifeTime = s.BatteryFullLifeTime;
    return true;
}

}  // namespace zk::platform::win32
