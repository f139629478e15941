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
    NtCreateFile,
    GetSystemTimePreciseAsFileTime,
    // soft demotion
    SetProcessInformation,
    Count
};

// Folders a module is loaded from: the host program's (the process's executable) and this
// library's own.
enum class ModuleFolder : std::uint8_t { Host, Library };

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

    // Another module, loaded by full path from one folder, never found through the search
    // path (which includes the current directory and PATH). It stays loaded; null when it
    // cannot be loaded.
    virtual void* loadModuleFrom(ModuleFolder folder, const char16_t* fileName) = 0;
    // A module of that file name already loaded in the process (GetModuleHandleW, which
    // loads nothing); null when none is.
    virtual void* findLoadedModule(const char16_t* fileName) = 0;
    // GetProcAddress on a module had from the two calls above; null when missing.
    virtual void* moduleExport(void* module, const char* name) = 0;
};

}  // namespace zk::platform
