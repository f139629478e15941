#pragma once
// Processes and threads: Tool Help snapshots, opening processes, and what the modules
// read and change on them. Each call mirrors one Windows call; the right a handle needs is
// named beside it. Outputs are written only on success.

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/handles.h"

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

class Processes {
public:
    virtual ~Processes() = default;

    // The current-process pseudo handle (all rights; never closed).
    static ProcessHandle currentProcess() noexcept { return ProcessHandle::unowned(kCurrentProcessHandle); }
    virtual std::uint32_t currentProcessId() = 0;

    virtual SnapshotHandle createProcessSnapshot() = 0;
    virtual bool processFirst(const SnapshotHandle& snapshot, ProcessEntry& out) = 0;
    virtual bool processNext(const SnapshotHandle& snapshot, ProcessEntry& out) = 0;
    virtual ProcessHandle openProcess(std::uint32_t access, bool inherit, std::uint32_t pid) = 0;

    // Query rights: PROCESS_QUERY_INFORMATION or PROCESS_QUERY_LIMITED_INFORMATION.
    virtual bool getProcessMemoryInfo(const ProcessHandle& process, MemoryCounters& out) = 0;
    virtual bool getProcessTimes(const ProcessHandle& process, ProcessTimes& out) = 0;
    virtual bool getProcessIoCounters(const ProcessHandle& process, IoCounters& out) = 0;
    virtual std::uint32_t getPriorityClass(const ProcessHandle& process) = 0;  // 0 on failure
    virtual bool getProcessAffinityMask(const ProcessHandle& process, std::uint64_t& processMask,
                                        std::uint64_t& systemMask) = 0;
    virtual bool getExitCodeProcess(const ProcessHandle& process, std::uint32_t& code) = 0;
    virtual bool queryFullProcessImageName(const ProcessHandle& process, std::u16string& path) = 0;
    virtual bool isWow64Process(const ProcessHandle& process, bool& wow64) = 0;
    // PROCESS_QUERY_LIMITED_INFORMATION.
    virtual bool getProcessInformation(const ProcessHandle& process, std::uint32_t infoClass, void* buffer,
                                       std::uint32_t size) = 0;
    virtual std::int32_t ntQueryInformationProcess(const ProcessHandle& process, std::uint32_t infoClass,
                                                   void* buffer, std::uint32_t size,
                                                   std::uint32_t* returnedSize) = 0;

    // PROCESS_SET_INFORMATION. The background-mode values of SetPriorityClass apply to
    // the calling process only.
    virtual bool setPriorityClass(const ProcessHandle& process, std::uint32_t priorityClass) = 0;
    virtual bool setProcessAffinityMask(const ProcessHandle& process, std::uint64_t mask) = 0;
    virtual std::int32_t ntSetInformationProcess(const ProcessHandle& process, std::uint32_t infoClass,
                                                 const void* buffer, std::uint32_t size) = 0;
    // SetProcessInformation (PROCESS_SET_INFORMATION), a routine a system may lack.
    virtual bool setProcessInformation(const ProcessHandle& process, std::uint32_t infoClass, const void* buffer,
                                       std::uint32_t size) = 0;
    // PROCESS_TERMINATE.
    virtual bool terminateProcess(const ProcessHandle& process, std::uint32_t exitCode) = 0;
    // A query right and PROCESS_SET_QUOTA.
    virtual bool emptyWorkingSet(const ProcessHandle& process) = 0;
    // PROCESS_SET_QUOTA; SIZE_T(-1) for both trims the working set.
    virtual bool setProcessWorkingSetSize(const ProcessHandle& process, std::uint64_t minimum,
                                          std::uint64_t maximum) = 0;

    // Starts fn on a new thread; false when the thread could not be created.
    virtual bool startThread(std::thread& out, std::function<void()> fn) = 0;
};

}  // namespace zk::platform
