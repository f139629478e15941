#pragma once
// The simulated machine's core, shared by its areas: one lock, the typed handle table,
// fault injection, call hooks and counts, the change record, the clock and the thread's
// last error. Every area takes the same lock, so a test sees one consistent machine.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace zk::sim {

using platform::HandleKind;
using platform::RawHandle;
using platform::Routine;

// Every operation of the seam, for fault injection, hooks and call counts.
enum class Op : std::uint8_t {
    CloseHandle,
    CreateProcessSnapshot,
    ProcessFirst,
    ProcessNext,
    OpenProcess,
    GetProcessMemoryInfo,
    GetProcessTimes,
    GetProcessIoCounters,
    GetPriorityClass,
    SetPriorityClass,
    GetProcessAffinityMask,
    SetProcessAffinityMask,
    GetExitCodeProcess,
    TerminateProcess,
    QueryFullProcessImageName,
    EmptyWorkingSet,
    SetProcessWorkingSetSize,
    IsWow64Process,
    GetProcessInformation,
    NtQueryInformationProcess,
    NtSetInformationProcess,
    OpenProcessToken,
    LookupPrivilegeValue,
    AdjustTokenPrivilege,
    GetTokenElevation,
    GlobalMemoryStatus,
    GetLogicalProcessorInformationEx,
    NtPowerInformation,
    PowerGetActiveScheme,
    PowerSetActiveScheme,
    PowerReadACValueIndex,
    PowerWriteACValueIndex,
    PowerWriteDCValueIndex,
    GetSystemPowerStatus,
    NtQuerySystemInformation,
    NtSetSystemInformation,
    StartThread,
    AnsiToWide,
    // services
    OpenServiceManager,
    OpenService,
    QueryServiceStatus,
    StartService,
    ControlService,
    ChangeServiceConfig,
    ChangeServiceConfig2,
    // modules
    StartModuleThread,
    LoadOwnModule,
    // Files and views (the disk warmup).
    GetFileAttributes,
    FindFirstFile,
    FindNextFile,
    CreateFile,
    CreateFileMapping,
    MapViewOfFile,
    PrefetchVirtualMemory,
    TouchPages,
    // soft demotion
    GetSystemTimes,
    SetProcessInformation,
    // background-program control and the stateless restore
    OpenProcessTokenOf,
    GetTokenUser,
    NtSetTimerResolution,
    DnsFlushResolverCache,
    LoadDnsApi,
    LoadModuleFrom,
    // folders and files written through a handle
    CreateDirectory,
    NtCreateFile,
    GetFileInformation,
    WriteFile,
    Count
};

struct HandleInfo {
    HandleKind kind = HandleKind::Process;
    std::uint32_t pid = 0;
    std::uint32_t access = 0;
    std::size_t cursor = 0;
    std::vector<platform::ProcessEntry> rows;  // a snapshot's rows, as taken
    std::u16string name;                        // a service's name
};

class SimCore {
public:
    std::mutex m;

    // Counts the call, runs its hook (outside the lock), and consumes an injected fault
    // (true: fail with *code). Call without holding the lock.
    bool enter(Op op, std::uint32_t* code);
    // Like enter(), setting the last error to the fault's code.
    bool failsWin32(Op op);
    // Whether the test hid routine r. Call without holding the lock.
    bool hidden(Routine r);
    // A native routine's entry: STATUS_PROCEDURE_NOT_FOUND when the test hid it, else
    // enter()'s fault as the NTSTATUS. True (with *status) when the call fails here.
    bool failsNative(Routine r, Op op, std::int32_t* status);
    // A hidden Win32 routine: the last error is ERROR_PROC_NOT_FOUND.
    bool missing(Routine r);

    // The rest: caller holds the lock.
    RawHandle newHandle(HandleInfo info);
    // The open handle h of kind k; sets ERROR_INVALID_HANDLE and returns nullptr otherwise.
    HandleInfo* handle(RawHandle h, HandleKind k);
    bool close(HandleKind k, RawHandle h);
    void record(std::string change) { changes.push_back(std::move(change)); }

    struct Fault {
        std::uint32_t code;
        int remaining;
    };
    std::unordered_map<RawHandle, HandleInfo> handles;
    RawHandle nextHandle = 0x100;
    std::map<Op, Fault> faults;
    std::map<Op, std::function<void()>> hooks;
    std::array<std::uint64_t, static_cast<std::size_t>(Op::Count)> calls{};
    std::array<bool, static_cast<std::size_t>(Routine::Count)> hiddenRoutines{};
    std::vector<std::string> changes;
    std::uint64_t nowNs = 0;
};

// The calling thread's last error, as GetLastError keeps it.
std::uint32_t& lastError();
std::string hex(std::uint64_t v);

}  // namespace zk::sim
