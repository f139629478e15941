#pragma once
// The one seam between the modules and the operating system.
//
// Modules never include <windows.h>; they call the Platform installed here. Each call
// mirrors one Windows call, with Windows' own numbers: failures are reported as a
// result plus the thread's last error (GetLastError), native routines return their
// NTSTATUS. A routine that may be missing on the running system (hasRoutine) fails with
// ERROR_PROC_NOT_FOUND when called anyway.
//
// Two implementations: win32/ (the product) and sim/ (a simulated machine for tests).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/unique_handle.h"
#include "platform/win_constants.h"

namespace zk::platform {

// One row of a Tool Help process snapshot (PROCESSENTRY32W).
struct ProcessEntry {
    std::uint32_t pid = 0;
    std::uint32_t parentPid = 0;
    std::uint32_t threadCount = 0;
    std::int32_t basePriority = 0;
    char16_t exeFile[260] = {};
};

// PROCESS_MEMORY_COUNTERS_EX, the fields the modules read.
struct MemoryCounters {
    std::uint32_t pageFaultCount = 0;
    std::uint64_t peakWorkingSetSize = 0;
    std::uint64_t workingSetSize = 0;
    std::uint64_t pagefileUsage = 0;
    std::uint64_t peakPagefileUsage = 0;
    std::uint64_t privateUsage = 0;
};

// GetProcessTimes, all in 100 ns units (FILETIME).
struct ProcessTimes {
    std::uint64_t creation = 0;
    std::uint64_t exit = 0;
    std::uint64_t kernel = 0;
    std::uint64_t user = 0;
};

// IO_COUNTERS.
struct IoCounters {
    std::uint64_t readOperations = 0;
    std::uint64_t writeOperations = 0;
    std::uint64_t otherOperations = 0;
    std::uint64_t readTransfer = 0;
    std::uint64_t writeTransfer = 0;
    std::uint64_t otherTransfer = 0;
};

// MEMORYSTATUSEX.
struct MemoryStatus {
    std::uint32_t memoryLoad = 0;
    std::uint64_t totalPhys = 0;
    std::uint64_t availPhys = 0;
    std::uint64_t totalPageFile = 0;
    std::uint64_t availPageFile = 0;
    std::uint64_t totalVirtual = 0;
    std::uint64_t availVirtual = 0;
};

// SYSTEMTIME of the local time zone.
struct LocalTime {
    std::uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

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

class Platform {
public:
    virtual ~Platform() = default;

    // --- handles and errors ---------------------------------------------------------
    virtual void closeHandle(RawHandle h) = 0;
    virtual std::uint32_t lastError() = 0;
    virtual void setLastError(std::uint32_t code) = 0;
    virtual bool hasRoutine(Routine r) = 0;

    // --- processes ------------------------------------------------------------------
    virtual UniqueHandle createProcessSnapshot() = 0;
    virtual bool processFirst(RawHandle snapshot, ProcessEntry& out) = 0;
    virtual bool processNext(RawHandle snapshot, ProcessEntry& out) = 0;
    virtual UniqueHandle openProcess(std::uint32_t access, bool inherit, std::uint32_t pid) = 0;
    virtual std::uint32_t currentProcessId() = 0;
    virtual bool getProcessMemoryInfo(RawHandle process, MemoryCounters& out) = 0;
    virtual bool getProcessTimes(RawHandle process, ProcessTimes& out) = 0;
    virtual bool getProcessIoCounters(RawHandle process, IoCounters& out) = 0;
    virtual std::uint32_t getPriorityClass(RawHandle process) = 0;  // 0 on failure
    virtual bool setPriorityClass(RawHandle process, std::uint32_t priorityClass) = 0;
    virtual bool getProcessAffinityMask(RawHandle process, std::uint64_t& processMask,
                                        std::uint64_t& systemMask) = 0;
    virtual bool setProcessAffinityMask(RawHandle process, std::uint64_t mask) = 0;
    virtual bool getExitCodeProcess(RawHandle process, std::uint32_t& code) = 0;
    virtual bool terminateProcess(RawHandle process, std::uint32_t exitCode) = 0;
    virtual bool queryFullProcessImageName(RawHandle process, std::u16string& path) = 0;
    virtual bool emptyWorkingSet(RawHandle process) = 0;
    // SIZE_T(-1) for both trims the working set.
    virtual bool setProcessWorkingSetSize(RawHandle process, std::uint64_t minimum,
                                          std::uint64_t maximum) = 0;
    virtual bool isWow64Process(RawHandle process, bool& wow64) = 0;
    virtual bool getProcessInformation(RawHandle process, std::uint32_t infoClass, void* buffer,
                                       std::uint32_t size) = 0;
    virtual std::int32_t ntQueryInformationProcess(RawHandle process, std::uint32_t infoClass,
                                                   void* buffer, std::uint32_t size,
                                                   std::uint32_t* returnedSize) = 0;
    virtual std::int32_t ntSetInformationProcess(RawHandle process, std::uint32_t infoClass,
                                                 const void* buffer, std::uint32_t size) = 0;

    // --- the current process's token -----------------------------------------------
    virtual UniqueHandle openProcessToken(std::uint32_t access) = 0;
    virtual bool lookupPrivilegeValue(const char* name, std::uint64_t& luid) = 0;
    // AdjustTokenPrivileges for one privilege; lastError() afterwards tells
    // ERROR_NOT_ALL_ASSIGNED apart from full success, as on Windows.
    virtual bool adjustTokenPrivilege(RawHandle token, std::uint64_t luid, bool enable) = 0;
    virtual bool getTokenElevation(RawHandle token, bool& elevated) = 0;

    // --- system ---------------------------------------------------------------------
    virtual std::uint32_t logicalProcessorCount() = 0;
    virtual bool globalMemoryStatus(MemoryStatus& out) = 0;
    virtual std::int32_t ntPowerInformation(std::uint32_t level, const void* input,
                                            std::uint32_t inputSize, void* output,
                                            std::uint32_t outputSize) = 0;
    virtual std::int32_t ntSetSystemInformation(std::uint32_t infoClass, const void* buffer,
                                                std::uint32_t size) = 0;

    // --- clocks ---------------------------------------------------------------------
    virtual std::int64_t queryPerformanceCounter() = 0;
    virtual std::int64_t queryPerformanceFrequency() = 0;
    virtual std::uint64_t tickCount64() = 0;
    virtual std::uint64_t steadyNs() = 0;
    virtual std::uint64_t systemTimeAsFileTime() = 0;
    virtual LocalTime localTime() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;

    // --- output ---------------------------------------------------------------------
    virtual void outputDebugString(const char* text) = 0;
    virtual void writeStdErr(std::string_view text) = 0;
    virtual void writeStdOut(std::string_view text) = 0;

    // --- threads and modules --------------------------------------------------------
    // Starts fn on a new thread; false when the thread could not be created.
    virtual bool startThread(std::thread& out, std::function<void()> fn) = 0;
    // An export of this library's own loaded module by name; nullptr when the module or
    // the export cannot be found.
    virtual void* findOwnExport(const char* name) = 0;

    // --- text -----------------------------------------------------------------------
    // Wide to narrow in the system's ANSI code page (WideCharToMultiByte(CP_ACP)).
    virtual std::string wideToAnsi(std::u16string_view text) = 0;
    // MultiByteToWideChar(CP_ACP, 0, ...): length -1 converts through the terminator;
    // outChars 0 asks for the size. Characters written (or needed), 0 on failure.
    virtual int ansiToWide(const char* text, int length, char16_t* out, int outChars) = 0;
};

// The platform the modules use. The Windows build installs the Win32 platform by
// default; tests install a simulated machine.
Platform& api();
// Makes p the current platform (nullptr restores the default); returns the previous one.
Platform* install(Platform* p);

// Provided by the build's default platform implementation.
Platform& defaultPlatform();

}  // namespace zk::platform
