#pragma once
// The Win32 platform's areas, each one Windows call per operation and no policy. Only the
// Windows build compiles this folder.

// The seam's headers come first: <windows.h> defines the same names (PROCESS_TERMINATE,
// ERROR_ACCESS_DENIED, ...) as macros, so below it these files use the macros, not zk::win.
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

namespace zk::platform::win32 {

inline HANDLE toHandle(RawHandle h) { return reinterpret_cast<HANDLE>(h); }
template <typename H>
HANDLE toHandle(const H& h) {
    return reinterpret_cast<HANDLE>(h.get());
}
// For the calls whose failure is INVALID_HANDLE_VALUE as well as those that return null.
inline RawHandle fromHandle(HANDLE h) {
    return (h == nullptr || h == INVALID_HANDLE_VALUE) ? kNullHandle : reinterpret_cast<RawHandle>(h);
}
inline std::uint64_t fileTime(const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// Routines a system may lack, resolved once at run time: never imported, or the DLL would
// not load where one is missing. Null when absent.
struct Routines {
    LONG(NTAPI* ntQueryInformationProcess)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    LONG(NTAPI* ntSetInformationProcess)(HANDLE, ULONG, PVOID, ULONG);
    LONG(NTAPI* ntQuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);
    LONG(NTAPI* ntSetSystemInformation)(ULONG, PVOID, ULONG);
    LONG(NTAPI* ntPowerInformation)(ULONG, PVOID, ULONG, PVOID, ULONG);
    LONG(NTAPI* ntSetTimerResolution)(ULONG, BOOLEAN, PULONG);
    BOOL(WINAPI* prefetchVirtualMemory)(HANDLE, ULONG_PTR, PVOID, ULONG);
    BOOL(WINAPI* isWow64Process)(HANDLE, PBOOL);
    BOOL(WINAPI* getProcessInformation)(HANDLE, int, LPVOID, DWORD);
    BOOL(WINAPI* setProcessInformation)(HANDLE, int, LPVOID, DWORD);
    // NtCreateFile, its records (OBJECT_ATTRIBUTES, IO_STATUS_BLOCK) as winternl.h has them.
    LONG(NTAPI* ntCreateFile)(PHANDLE, ACCESS_MASK, void*, void*, PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID,
                              ULONG);
    VOID(WINAPI* getSystemTimePreciseAsFileTime)(LPFILETIME);
};
const Routines& routines();
// powrprof's routines, resolved once from the system folder's powrprof.dll: Wine's lacks
// the value reads and writes, and a static import would stop this DLL from loading.
struct PowerRoutines {
    DWORD(WINAPI* getActiveScheme)(HKEY, GUID**);
    DWORD(WINAPI* setActiveScheme)(HKEY, const GUID*);
    DWORD(WINAPI* readAcValueIndex)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);
    DWORD(WINAPI* writeAcValueIndex)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
    DWORD(WINAPI* writeDcValueIndex)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
};
const PowerRoutines& powerRoutines();
// A system DLL loaded from the system folder by its full path (never found by the search
// path), one more reference to it; null, with the last error, when it cannot be loaded.
HMODULE systemModule(const wchar_t* fileName);

class Win32Processes final : public Processes {
public:
    explicit Win32Processes(Platform& owner) : owner_(owner) {}
    std::uint32_t currentProcessId() override;
    SnapshotHandle createProcessSnapshot() override;
    bool processFirst(const SnapshotHandle& snapshot, ProcessEntry& out) override;
    bool processNext(const SnapshotHandle& snapshot, ProcessEntry& out) override;
    ProcessHandle openProcess(std::uint32_t access, bool inherit, std::uint32_t pid) override;
    bool getProcessMemoryInfo(const ProcessHandle& process, MemoryCounters& out) override;
    bool getProcessTimes(const ProcessHandle& process, ProcessTimes& out) override;
    bool getProcessIoCounters(const ProcessHandle& process, IoCounters& out) override;
    std::uint32_t getPriorityClass(const ProcessHandle& process) override;
    bool getProcessAffinityMask(const ProcessHandle& process, std::uint64_t& processMask,
                                std::uint64_t& systemMask) override;
    bool getExitCodeProcess(const ProcessHandle& process, std::uint32_t& code) override;
    bool queryFullProcessImageName(const ProcessHandle& process, std::u16string& path) override;
    bool isWow64Process(const ProcessHandle& process, bool& wow64) override;
    bool getProcessInformation(const ProcessHandle& process, std::uint32_t infoClass, void* buffer,
                               std::uint32_t size) override;
    std::int32_t ntQueryInformationProcess(const ProcessHandle& process, std::uint32_t infoClass, void* buffer,
                                           std::uint32_t size, std::uint32_t* returnedSize) override;
    bool setPriorityClass(const ProcessHandle& process, std::uint32_t priorityClass) override;
    bool setProcessAffinityMask(const ProcessHandle& process, std::uint64_t mask) override;
    std::int32_t ntSetInformationProcess(const ProcessHandle& process, std::uint32_t infoClass,
                                         const void* buffer, std::uint32_t size) override;
    bool setProcessInformation(const ProcessHandle& process, std::uint32_t infoClass, const void* buffer,
                               std::uint32_t size) override;
    bool terminateProcess(const ProcessHandle& process, std::uint32_t exitCode) override;
    bool emptyWorkingSet(const ProcessHandle& process) override;
    bool setProcessWorkingSetSize(const ProcessHandle& process, std::uint64_t minimum,
                                  std::uint64_t maximum) override;
    bool startThread(std::thread& out, std::function<void()> fn) override;

private:
    Platform& owner_;
};

class Win32Tokens final : public Tokens {
public:
    explicit Win32Tokens(Platform& owner) : owner_(owner) {}
    TokenHandle openProcessToken(std::uint32_t access) override;
    bool lookupPrivilegeValue(const char* name, std::uint64_t& luid) override;
    bool adjustTokenPrivilege(const TokenHandle& token, std::uint64_t luid, bool enable) override;
    bool getTokenElevation(const TokenHandle& token, bool& elevated) override;
    TokenHandle openProcessTokenOf(const ProcessHandle& process, std::uint32_t access) override;
    bool getTokenUser(const TokenHandle& token, std::uint32_t bufferBytes, TokenUserSid& out) override;

private:
    Platform& owner_;
};

class Win32Services final : public Services {
public:
    explicit Win32Services(Platform& owner) : owner_(owner) {}
    ServiceManagerHandle openServiceManager(std::uint32_t access) override;
    ServiceHandle openService(const ServiceManagerHandle& manager, const char16_t* name,
                              std::uint32_t access) override;
    bool queryServiceStatus(const ServiceHandle& service, ServiceStatus& out) override;
    bool startService(const ServiceHandle& service) override;
    bool controlService(const ServiceHandle& service, std::uint32_t control, ServiceStatus& out) override;
    bool changeServiceStartType(const ServiceHandle& service, std::uint32_t startType) override;
    bool setDelayedAutoStart(const ServiceHandle& service, bool delayed) override;

private:
    Platform& owner_;
};

class Win32System final : public System {
public:
    std::uint32_t logicalProcessorCount() override;
    std::uint16_t activeProcessorGroupCount() override;
    std::uint32_t activeProcessorCount(std::uint16_t group) override;
    bool getLogicalProcessorInformationEx(std::uint32_t relationship, void* buffer, std::uint32_t& length) override;
    bool globalMemoryStatus(MemoryStatus& out) override;
    bool getSystemTimes(std::uint64_t& idle, std::uint64_t& kernel, std::uint64_t& user) override;
    std::int32_t ntQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t size,
                                          std::uint32_t* returnedSize) override;
    std::int32_t ntSetSystemInformation(std::uint32_t infoClass, const void* buffer, std::uint32_t size) override;
    void outputDebugString(const char* text) override;
    void writeStdErr(std::string_view text) override;
    void writeStdOut(std::string_view text) override;
    std::string wideToAnsi(std::u16string_view text) override;
    std::u16string utf8ToWide(std::string_view text) override;
    int ansiToWide(const char* text, int length, char16_t* out, int outChars) override;
    std::int32_t ntSetTimerResolution(std::uint32_t desired, bool set, std::uint32_t& current) override;
    DnsFlushStep dnsFlushResolverCache() override;
    std::string systemMessage(std::uint32_t code) override;
};

class Win32Power final : public Power {
public:
    std::int32_t ntPowerInformation(std::uint32_t level, const void* input, std::uint32_t inputSize, void* output,
                                    std::uint32_t outputSize) override;
    std::uint32_t powerGetActiveScheme(std::optional<Guid>& out) override;
    std::uint32_t powerSetActiveScheme(const Guid* scheme) override;
    std::uint32_t powerReadAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                        std::uint32_t& value) override;
    std::uint32_t powerWriteAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                         std::uint32_t value) override;
    std::uint32_t powerWriteDcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                         std::uint32_t value) override;
    bool getSystemPowerStatus(SystemPowerStatus& out) override;
};

class Win32Clocks final : public Clocks {
public:
    std::int64_t queryPerformanceCounter() override;
    std::int64_t queryPerformanceFrequency() override;
    std::uint64_t tickCount64() override;
    std::uint64_t steadyNs() override;
    std::uint64_t systemTimeAsFileTime() override;
    std::uint64_t preciseSystemTimeAsFileTime() override;
    LocalTime localTime() override;
    void sleepMs(std::uint32_t ms) override;
};

class Win32Modules final : public Modules {
public:
    explicit Win32Modules(Platform& owner) : owner_(owner) {}
    bool hasRoutine(Routine r) override;
    void* findOwnExport(const char* name) override;
    bool loadOwnModule() override;
    void* loadModuleFrom(ModuleFolder folder, const char16_t* fileName) override;
    void* findLoadedModule(const char16_t* fileName) override;
    void* moduleExport(void* module, const char* name) override;
    bool startModuleThread(std::function<void()> fn) override;

private:
    Platform& owner_;
};

class Win32Files final : public Files {
public:
    explicit Win32Files(Platform& owner) : owner_(owner) {}
    bool getFileAttributes(const char16_t* path, std::uint32_t& attributes) override;
    FindHandle findFirstFile(const char16_t* pattern, FindData& out) override;
    bool findNextFile(const FindHandle& find, FindData& out) override;
    FileHandle createFile(const char16_t* path, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                          std::uint32_t flags) override;
    std::int32_t ntCreateFileIn(const FileHandle& root, const char16_t* name, std::uint32_t access,
                                std::uint32_t share, std::uint32_t disposition, std::uint32_t options,
                                FileHandle& out) override;
    bool createDirectory(const char16_t* path) override;
    bool getFileInformation(const FileHandle& file, FileInformation& out) override;
    bool writeFile(const FileHandle& file, std::string_view data, std::uint32_t& written) override;
    MappingHandle createFileMapping(const FileHandle& file, std::uint32_t protect) override;
    ViewHandle mapViewOfFile(const MappingHandle& mapping, std::uint32_t access, std::uint64_t offset,
                             std::size_t bytes) override;
    bool prefetchVirtualMemory(const ProcessHandle& process, const MemoryRange* ranges, std::size_t count) override;
    bool touchPages(const ViewHandle& view, std::size_t bytes) override;

private:
    Platform& owner_;
};

}  // namespace zk::platform::win32
