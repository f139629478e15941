#pragma once
// Loaded modules: routines a system may lack, and this library's own module.

#include <cstdint>

namespace zk::platform {

// Routines that are resolved at run time because a system may lack them.
enum class Routine : std::uint8_t {
    NtQueryInformationProcess,
    NtSetInformationProcess,
    NtSetSystemInformation,
    NtPowerInformation,
    NtSetTimerResolution,
    PrefetchVirtualMemory,
    IsWow64Process,
    GetProcessInformation,
    DnsFlushResolverCache,
    Count
};

class Modules {
public:
    virtual ~Modules() = default;

    virtual bool hasRoutine(Routine r) = 0;
    // An export of this library's own loaded module by name; nullptr when the module or
    // the export cannot be found.
    virtual void* findOwnExport(const char* name) = 0;
    // Finds this library's own module "Zelkor.dll", loading it by that name when it is not
    // loaded (it is never released); false when neither works.
    virtual bool loadOwnModule() = 0;
};

}  // namespace zk::platform
