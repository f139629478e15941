#pragma once
// A simulated Windows machine behind the platform seam, for tests.
//
// It holds processes, memory readings, processor information, a manual clock, the
// library's own export table and privileges; it can make any operation fail with a
// chosen error, hide any run-time routine, run a hook inside any operation, and it
// accounts for every handle and records every call that changes the machine.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace zk::sim {

using platform::IoCounters;
using platform::LocalTime;
using platform::MemoryCounters;
using platform::MemoryStatus;
using platform::ProcessEntry;
using platform::ProcessTimes;
using platform::RawHandle;
using platform::Routine;
using platform::UniqueHandle;

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
    NtPowerInformation,
    NtSetSystemInformation,
    StartThread,
    AnsiToWide,
    Count
};

struct SimProcess {
    std::uint32_t pid = 0;
    std::uint32_t parentPid = 0;
    std::u16string exeName;
    std::u16string imagePath;  // empty: C:\Program Files\<exeName>
    bool alive = true;         // exited processes leave the snapshot but stay openable
    std::uint32_t exitCode = win::STILL_ACTIVE;
    std::uint32_t priorityClass = win::NORMAL_PRIORITY_CLASS;
    std::uint32_t ioPriority = 2;
    std::uint64_t affinity = 0;  // 0: all processors
    bool wow64 = false;
    bool breakOnTermination = false;
    std::uint32_t protectionLevel = 0xFFFFFFFEu;  // PROTECTION_LEVEL_NONE
    std::uint32_t deniedAccess = 0;                // rights OpenProcess refuses
    bool backgroundMode = false;
    MemoryCounters memory;
    ProcessTimes times;
    IoCounters io;
};

// One processor entry of NtPowerInformation(ProcessorInformation).
struct ProcessorPower {
    std::uint32_t number = 0;
    std::uint32_t maxMhz = 3000;
    std::uint32_t currentMhz = 3000;
    std::uint32_t mhzLimit = 3000;
    std::uint32_t maxIdleState = 1;
    std::uint32_t currentIdleState = 0;
};

struct OpenRecord {
    std::uint32_t pid;
    std::uint32_t access;
};

class SimMachine final : public platform::Platform {
public:
    SimMachine();
    ~SimMachine() override;

    // --- building the machine -------------------------------------------------------
    SimProcess& addProcess(std::uint32_t pid, std::uint32_t parentPid, std::u16string exeName);
    SimProcess& addProcess(std::uint32_t pid, std::uint32_t parentPid, std::string_view exeName);
    SimProcess* process(std::uint32_t pid);  // nullptr when unknown
    void exitProcess(std::uint32_t pid, std::uint32_t exitCode = 0);
    void removeProcess(std::uint32_t pid);
    // Runs fn on process pid under the machine lock (for changes while workers run).
    void withProcess(std::uint32_t pid, const std::function<void(SimProcess&)>& fn);
    void setCurrentProcessId(std::uint32_t pid);
    void setLogicalProcessorCount(std::uint32_t n);
    void setProcessors(std::vector<ProcessorPower> entries);
    // Memory readings are returned in order; the last one repeats.
    void scriptMemoryStatus(std::vector<MemoryStatus> readings);

    // --- failures and hooks ---------------------------------------------------------
    // Make op fail `times` times (-1: until cleared) with a Win32 error, or for native
    // routines the NTSTATUS given.
    void failOp(Op op, std::uint32_t errorOrStatus, int times = -1);
    void clearFaults();
    void hideRoutine(Routine r, bool hidden = true);
    // Called at the start of op, outside the machine lock (to block a walk, for instance).
    void setHook(Op op, std::function<void()> hook);
    void denyPrivilege(const std::string& name);       // lookup fails: ERROR_NO_SUCH_PRIVILEGE
    void notAllAssigned(const std::string& name);      // adjust succeeds with 1300
    bool privilegeEnabled(const std::string& name);

    // --- the library's own module ---------------------------------------------------
    void setOwnExport(const std::string& name, void* fn);
    void hideOwnExport(const std::string& name);
    void setOwnModuleMissing(bool missing);

    // --- clock ----------------------------------------------------------------------
    void advanceMs(std::uint64_t ms);
    void advanceNs(std::uint64_t ns);
    std::uint64_t nowNs();
    // Each later sleep takes this much longer than asked, in microseconds, in order.
    void scriptSleepOvershootUs(std::vector<std::uint64_t> overshoots);
    std::uint64_t sleepCount();

    // --- observation ----------------------------------------------------------------
    std::size_t openHandleCount();
    std::vector<std::string> changes();  // calls that changed the machine, in order
    void clearChanges();
    std::vector<OpenRecord> opens();
    std::uint64_t callCount(Op op);
    std::uint64_t totalCalls();
    void resetCallCounts();
    std::vector<std::string> debugOutput();
    std::string stdErr();
    std::string stdOut();

    // --- Platform -------------------------------------------------------------------
    void closeHandle(RawHandle h) override;
    std::uint32_t lastError() override;
    void setLastError(std::uint32_t code) override;
    bool hasRoutine(Routine r) override;
    UniqueHandle createProcessSnapshot() override;
    bool processFirst(RawHandle snapshot, ProcessEntry& out) override;
    bool processNext(RawHandle snapshot, ProcessEntry& out) override;
    UniqueHandle openProcess(std::uint32_t access, bool inherit, std::uint32_t pid) override;
    std::uint32_t currentProcessId() override;
    bool getProcessMemoryInfo(RawHandle process, MemoryCounters& out) override;
    bool getProcessTimes(RawHandle process, ProcessTimes& out) override;
    bool getProcessIoCounters(RawHandle process, IoCounters& out) override;
    std::uint32_t getPriorityClass(RawHandle process) override;
    bool setPriorityClass(RawHandle process, std::uint32_t priorityClass) override;
    bool getProcessAffinityMask(RawHandle process, std::uint64_t& processMask,
                                std::uint64_t& systemMask) override;
    bool setProcessAffinityMask(RawHandle process, std::uint64_t mask) override;
    bool getExitCodeProcess(RawHandle process, std::uint32_t& code) override;
    bool terminateProcess(RawHandle process, std::uint32_t exitCode) override;
    bool queryFullProcessImageName(RawHandle process, std::u16string& path) override;
    bool emptyWorkingSet(RawHandle process) override;
    bool setProcessWorkingSetSize(RawHandle process, std::uint64_t minimum,
                                  std::uint64_t maximum) override;
    bool isWow64Process(RawHandle process, bool& wow64) override;
    bool getProcessInformation(RawHandle process, std::uint32_t infoClass, void* buffer,
                               std::uint32_t size) override;
    std::int32_t ntQueryInformationProcess(RawHandle process, std::uint32_t infoClass,
                                           void* buffer, std::uint32_t size,
                                           std::uint32_t* returnedSize) override;
    std::int32_t ntSetInformationProcess(RawHandle process, std::uint32_t infoClass,
                                         const void* buffer, std::uint32_t size) override;
    UniqueHandle openProcessToken(std::uint32_t access) override;
    bool lookupPrivilegeValue(const char* name, std::uint64_t& luid) override;
    bool adjustTokenPrivilege(RawHandle token, std::uint64_t luid, bool enable) override;
    bool getTokenElevation(RawHandle token, bool& elevated) override;
    std::uint32_t logicalProcessorCount() override;
    bool globalMemoryStatus(MemoryStatus& out) override;
    std::int32_t ntPowerInformation(std::uint32_t level, const void* input,
                                    std::uint32_t inputSize, void* output,
                                    std::uint32_t outputSize) override;
    std::int32_t ntSetSystemInformation(std::uint32_t infoClass, const void* buffer,
                                        std::uint32_t size) override;
    std::int64_t queryPerformanceCounter() override;
    std::int64_t queryPerformanceFrequency() override;
    std::uint64_t tickCount64() override;
    std::uint64_t steadyNs() override;
    std::uint64_t systemTimeAsFileTime() override;
    LocalTime localTime() override;
    void sleepMs(std::uint32_t ms) override;
    void outputDebugString(const char* text) override;
    void writeStdErr(std::string_view text) override;
    void writeStdOut(std::string_view text) override;
    bool startThread(std::thread& out, std::function<void()> fn) override;
    void* findOwnExport(const char* name) override;
    std::string wideToAnsi(std::u16string_view text) override;
    int ansiToWide(const char* text, int length, char16_t* out, int outChars) override;

private:
    enum class Kind : std::uint8_t { Snapshot, Process, Token };
    struct HandleInfo {
        Kind kind = Kind::Process;
        std::uint32_t pid = 0;
        std::uint32_t access = 0;
        std::size_t cursor = 0;
        std::vector<ProcessEntry> rows;
    };
    struct Fault {
        std::uint32_t code;
        int remaining;
    };

    // Counts the call, runs its hook, and consumes an injected fault (true: fail with
    // *code). Takes the lock itself; call without holding it.
    bool enter(Op op, std::uint32_t* code);
    // Resolves a process handle that grants one of `needed` (0: any); sets the last
    // error and returns nullptr otherwise. Caller holds the lock.
    SimProcess* processFor(RawHandle h, std::uint32_t needed);
    RawHandle newHandle(HandleInfo info);
    void record(std::string change);

    std::mutex m_;
    std::deque<SimProcess> processes_;  // stable references for tests
    std::unordered_map<std::uint32_t, std::size_t> index_;
    std::unordered_map<RawHandle, HandleInfo> handles_;
    RawHandle nextHandle_ = 0x100;
    std::uint32_t currentPid_ = 1000;
    std::uint32_t logicalProcessors_ = 8;
    std::vector<ProcessorPower> processors_;
    std::deque<MemoryStatus> memory_;
    std::map<Op, Fault> faults_;
    std::map<Op, std::function<void()>> hooks_;
    std::array<std::uint64_t, static_cast<std::size_t>(Op::Count)> calls_{};
    std::array<bool, static_cast<std::size_t>(Routine::Count)> hidden_{};
    std::set<std::string> deniedPrivileges_, notAllAssigned_, enabledPrivileges_;
    std::vector<std::string> privilegeNames_;
    std::map<std::string, void*> ownExports_;
    bool ownModuleMissing_ = false;
    std::uint64_t nowNs_ = 0;
    std::deque<std::uint64_t> overshootUs_;
    std::uint64_t sleeps_ = 0;
    std::vector<std::string> changes_;
    std::vector<OpenRecord> opens_;
    std::vector<std::string> debug_;
    std::string stderr_, stdout_;
};

// Installs a machine as the current platform for a scope.
class ScopedMachine {
public:
    explicit ScopedMachine(SimMachine& m) : previous_(platform::install(&m)) {}
    ~ScopedMachine() { platform::install(previous_); }
    ScopedMachine(const ScopedMachine&) = delete;
    ScopedMachine& operator=(const ScopedMachine&) = delete;

private:
    platform::Platform* previous_;
};

std::u16string u16(std::string_view ascii);

}  // namespace zk::sim
