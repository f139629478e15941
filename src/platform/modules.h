#pragma once
// Loaded modules: routines a system may lack, and this library's own module.

#include <cstdint>
#include <functional>

namespace zk::platform {

// Routines that are resolved at run time because a system may lack them.
enum class Routine : std::uint8_t {
    NtQueryInformationProcess,
    NtQuerySystemInformation,
    NtSetInformationProcess,
    NtSetSystemInformation,
    NtPowerInformation,
    NtSetTimerResolution,
    PrefetchVirtualMemory,
    IsWow64Process,
    GetProcessInformation,
    DnsFlushResolverCache,
    PowerGetActiveScheme,
    PowerSetActiveScheme,
    PowerReadACValueIndex,
    PowerWriteACValueIndex,
    PowerWriteDCValueIndex,
    // soft demotion
    SetProcessInformation,
    Count
};

class Modules {
public:
    virtual ~Modules() = default;

    virtual bool hasRoutine(Routine r) = 0;
    // An export of this library's own module by name; nullptr when the module or the
    // export cannot be found.
    virtual void* findOwnExport(const char* name) = 0;
    // Finds this library's own module by an address inside it, never by file name: a
    // host may ship the library under another name, and a search by name could load
    // whatever file of that name the search path finds. False when it cannot be found.
    virtual bool loadOwnModule() = 0;
    // Starts fn on a detached thread that holds a reference to this library while it runs
    // and releases it as it leaves (FreeLibraryAndExitThread), so a host that unloads the
    // library with a worker still running never has the code pulled from under it. An
    // exception leaving fn ends the thread quietly. False (last error set) when the thread
    // could not be started; fn is then not run.
    virtual bool startModuleThread(std::function<void()> fn) = 0;
};

}  // namespace zk::platform
