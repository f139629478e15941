#pragma once
// The simulated machine's processes.

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

#include "platform/sim/sim_core.h"

namespace zk::sim {

using platform::IoCounters;
using platform::MemoryCounters;
using platform::ProcessEntry;
using platform::ProcessHandle;
using platform::ProcessTimes;
using platform::SnapshotHandle;

// PROTECTION_LEVEL_ANTIMALWARE_LIGHT, the level of an anti-malware service: protected.
inline constexpr std::uint32_t kProtectedLevel = 3;

struct SimProcess {
    std::uint32_t pid = 0;
    std::uint32_t parentPid = 0;
    std::u16string exeName;
    std::u16string imagePath;  // empty: C:\Program Files\<exeName>
    bool alive = true;         // exited processes leave the snapshot but stay openable
    std::uint32_t exitCode = win::STILL_ACTIVE;
    std::uint32_t priorityClass = win::NORMAL_PRIORITY_CLASS;
    std::uint32_t ioPriority = 2;
    std::uint64_t affinity = 0;  // 0: all processors of the group
    bool wow64 = false;
    bool breakOnTermination = false;
    // PROTECTION_LEVEL_NONE; any other level makes a protected process.
    std::uint32_t protectionLevel = 0xFFFFFFFEu;
    // Rights its security descriptor refuses (SeDebugPrivilege overrides them).
    std::uint32_t deniedAccess = 0;
    bool systemProcess = false;  // like System and csrss: OpenProcess refuses every right
    bool backgroundMode = false;
    std::uint32_t memoryPriority = win::MEMORY_PRIORITY_NORMAL;
    std::string userSid = "S-1-5-21-1000-2000-3000-1001";  // the token's user
    MemoryCounters memory;
    ProcessTimes times;
    IoCounters io;
    bool isProtected() const { return protectionLevel != 0xFFFFFFFEu; }
};

struct OpenRecord {
    std::uint32_t pid;
    std::uint32_t access;
};

class SimTokens;
class SimSystem;

// OpenProcess's answer for process p (nullptr: none with that id): 0 to open, else the
// error. debugPrivilege: SeDebugPrivilege is enabled on the caller's token.
std::uint32_t openProcessRefusal(std::uint32_t pid, const SimProcess* p, std::uint32_t access, bool debugPrivilege);

class SimProcesses final : public platform::Processes {
public:
    SimProcesses(platform::Platform& owner, SimCore& core, SimTokens& tokens, SimSystem& system);

    // --- the machine's side (caller holds the core lock) ---------------------------
    // Entries are never destroyed while the machine lives, so references stay valid;
    // a removed or replaced process is only dropped from the index.
    SimProcess& add(std::uint32_t pid, std::uint32_t parentPid, std::u16string exeName);
    SimProcess* find(std::uint32_t pid);
    void remove(std::uint32_t pid) { index_.erase(pid); }
    std::uint32_t currentPid = 1000;
    std::vector<OpenRecord> opens;

    // --- Processes --------------------------------------------------------------------
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
    // The process behind a handle that holds every right in `needed` (a query right is
    // given as kQueryRight: either query right will do); sets the last error and returns
    // nullptr otherwise. Caller holds the lock.
    SimProcess* target(const ProcessHandle& h, std::uint32_t needed);
    bool rowAt(const SnapshotHandle& snapshot, bool first, ProcessEntry& out);

    platform::Platform& owner_;
    SimCore& core_;
    SimTokens& tokens_;
    SimSystem& system_;
    std::deque<SimProcess> store_;
    std::unordered_map<std::uint32_t, SimProcess*> index_;
};

}  // namespace zk::sim
