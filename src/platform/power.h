#pragma once
// Power management: processor power information, the power schemes (powrprof) and the
// system power status.

#include <cstdint>
#include <optional>

namespace zk::platform {

// GUID, byte for byte.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};

    friend bool operator==(const Guid&, const Guid&) = default;
};
static_assert(sizeof(Guid) == 16, "Guid is a GUID");

// SYSTEM_POWER_STATUS.
struct SystemPowerStatus {
    std::uint8_t acLineStatus = 1;  // 0 battery, 1 mains, 255 unknown
    std::uint8_t batteryFlag = 128;
    std::uint8_t batteryLifePercent = 255;
    std::uint32_t batteryLifeTime = 0xFFFFFFFF;
    std::uint32_t batteryFullLifeTime = 0xFFFFFFFF;
};

class Power {
public:
    virtual ~Power() = default;

    // NtPowerInformation (CallNtPowerInformation); returns the NTSTATUS.
    virtual std::int32_t ntPowerInformation(std::uint32_t level, const void* input, std::uint32_t inputSize,
                                            void* output, std::uint32_t outputSize) = 0;

    // The powrprof routines, each with a null root key, returning their Win32 error code.
    // All of them are resolved at run time (ERROR_PROC_NOT_FOUND when the system lacks one).
    //
    // PowerGetActiveScheme: on success `out` holds the scheme, or stays empty when the
    // routine returned no buffer; the buffer it returns is released with LocalFree here.
    virtual std::uint32_t powerGetActiveScheme(std::optional<Guid>& out) = 0;
    virtual std::uint32_t powerSetActiveScheme(const Guid* scheme) = 0;
    // `value` is written on success only.
    virtual std::uint32_t powerReadAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                std::uint32_t& value) = 0;
    virtual std::uint32_t powerWriteAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                 std::uint32_t value) = 0;
    virtual std::uint32_t powerWriteDcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                 std::uint32_t value) = 0;

    // GetSystemPowerStatus; false with the last error.
    virtual bool getSystemPowerStatus(SystemPowerStatus& out) = 0;
};

}  // namespace zk::platform
