#include "platform/sim/sim_processes.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "platform/sim/sim_system.h"
#include "platform/sim/sim_tokens.h"

namespace zk::sim {

namespace {

// PROCESS_QUERY_INFORMATION grants PROCESS_QUERY_LIMITED_INFORMATION too, so "either
// query right" is the limited one of the effective rights.
constexpr std::uint32_t kQuery = win::PROCESS_QUERY_LIMITED_INFORMATION;

std::uint32_t effectiveRights(std::uint32_t access) {
    return (access & win::PROCESS_QUERY_INFORMATION) ? access | kQuery : access;
}

constexpr std::uint64_t kMinimumWorkingSetMaximum = 13 * 4096;  // 13 pages of 4 KB

std::uint64_t maskOf(std::uint32_t processors) {
    return processors >= 64 ? ~0ull : ((1ull << processors) - 1);
}

}  // namespace

SimProcesses::SimProcesses(platform::Platform& owner, SimCore& core, SimTokens& tokens, SimSystem& system)
    : owner_(owner), core_(core), tokens_(tokens), system_(system) {
    SimProcess& self = add(currentPid, win::kSystemPid, u"zelkor_tests.exe");
    (void)self;
}

SimProcess& SimProcesses::add(std::uint32_t pid, std::uint32_t parentPid, std::u16string exeName) {
    SimProcess p;
    p.pid = pid;
    p.parentPid = parentPid;
    p.exeName = std::move(exeName);
    if (SimProcess* existing = find(pid)) {
        *existing = std::move(p);  // same entry, same place in the walk
        return *existing;
    }
    SimProcess& stored = store_.emplace_back(std::move(p));
    index_[pid] = &stored;
    return stored;
}

SimProcess* SimProcesses::find(std::uint32_t pid) {
    auto it = index_.find(pid);
    return it == index_.end() ? nullptr : it->second;
}

SimProcess* SimProcesses::target(const ProcessHandle& h, std::uint32_t needed) {
    std::uint32_t pid = 0, access = 0;
    if (h.get() == platform::kCurrentProcessHandle) {
        pid = currentPid;
        access = win::PROCESS_ALL_ACCESS;
    } else {
        const HandleInfo* info = core_.handle(h.get(), HandleKind::Process);
        if (!info) return nullptr;
        pid = info->pid;
        access = info->access;
    }
    if ((effectiveRights(access) & needed) != needed) {
        lastError() = win::ERROR_ACCESS_DENIED;
        return nullptr;
    }
    SimProcess* p = find(pid);
    if (!p) lastError() = win::ERROR_INVALID_HANDLE;
    return p;
}

std::uint32_t SimProcesses::currentProcessId() {
    std::lock_guard lk(core_.m);
    return currentPid;
}

// --- the process list -------------------------------------------------------------------

SnapshotHandle SimProcesses::createProcessSnapshot() {
    if (core_.failsWin32(Op::CreateProcessSnapshot)) return {};
    std::lock_guard lk(core_.m);
    HandleInfo info;
    info.kind = HandleKind::Snapshot;
    info.rows.reserve(index_.size());
    for (const SimProcess& p : store_) {
        if (!p.alive || find(p.pid) != &p) continue;
        ProcessEntry& e = info.rows.emplace_back();
        e.pid = p.pid;
        e.parentPid = p.parentPid;
        e.threadCount = 1;
        e.basePriority = 8;
        const std::size_t n = std::min<std::size_t>(p.exeName.size(), 259);
        std::copy_n(p.exeName.begin(), n, e.exeFile);
    }
    return SnapshotHandle(&owner_, core_.newHandle(std::move(info)));
}

bool SimProcesses::rowAt(const SnapshotHandle& snapshot, bool first, ProcessEntry& out) {
    if (core_.failsWin32(first ? Op::ProcessFirst : Op::ProcessNext)) return false;
    std::lock_guard lk(core_.m);
    HandleInfo* info = core_.handle(snapshot.get(), HandleKind::Snapshot);
    if (!info) return false;
    if (first) info->cursor = 0;
    if (info->cursor >= info->rows.size()) {
        lastError() = win::ERROR_NO_MORE_FILES;
        return false;
    }
    out = info->rows[info->cursor++];
    return true;
}

bool SimProcesses::processFirst(const SnapshotHandle& snapshot, ProcessEntry& out) {
    return rowAt(snapshot, true, out);
}

bool SimProcesses::processNext(const SnapshotHandle& snapshot, ProcessEntry& out) {
    return rowAt(snapshot, false, out);
}

ProcessHandle SimProcesses::openProcess(std::uint32_t access, bool, std::uint32_t pid) {
    if (core_.failsWin32(Op::OpenProcess)) return {};
    std::lock_guard lk(core_.m);
    opens.push_back({pid, access});
    if (const std::uint32_t error = openProcessRefusal(pid, find(pid), access, tokens_.enabled("SeDebugPrivilege"))) {
        lastError() = error;
        return {};
    }
    HandleInfo info;
    info.kind = HandleKind::Process;
    info.pid = pid;
    info.access = access;
    return ProcessHandle(&owner_, core_.newHandle(std::move(info)));
}

// --- reading ----------------------------------------------------------------------------

#define ZK_SIM_READ(op, handle, rights, failResult)          \
    if (core_.failsWin32(op)) return failResult;             \
    std::lock_guard lk(core_.m);                             \
    SimProcess* p = target(handle, rights);                  \
    if (!p) return failResult

bool SimProcesses::getProcessMemoryInfo(const ProcessHandle& process, MemoryCounters& out) {
    // "The handle must have the PROCESS_QUERY_INFORMATION or PROCESS_QUERY_LIMITED_INFORMATION
    // access right and the PROCESS_VM_READ access right." Times and I/O counters need a
    // query right only.
    ZK_SIM_READ(Op::GetProcessMemoryInfo, process, kQuery | win::PROCESS_VM_READ, false);
    out = p->memory;
    return true;
}

bool SimProcesses::getProcessTimes(const ProcessHandle& process, ProcessTimes& out) {
    ZK_SIM_READ(Op::GetProcessTimes, process, kQuery, false);
    out = p->times;
    return true;
}

bool SimProcesses::getProcessIoCounters(const ProcessHandle& process, IoCounters& out) {
    ZK_SIM_READ(Op::GetProcessIoCounters, process, kQuery, false);
    out = p->io;
    return true;
}

std::uint32_t SimProcesses::getPriorityClass(const ProcessHandle& process) {
    ZK_SIM_READ(Op::GetPriorityClass, process, kQuery, 0u);
    return p->priorityClass;
}

bool SimProcesses::getProcessAffinityMask(const ProcessHandle& process, std::uint64_t& processMask,
                                          std::uint64_t& systemMask) {
    ZK_SIM_READ(Op::GetProcessAffinityMask, process, kQuery, false);
    systemMask = maskOf(system_.currentGroupSize());
    processMask = p->affinity ? p->affinity : systemMask;
    return true;
}

bool SimProcesses::getExitCodeProcess(const ProcessHandle& process, std::uint32_t& code) {
    ZK_SIM_READ(Op::GetExitCodeProcess, process, kQuery, false);
    code = p->alive ? win::STILL_ACTIVE : p->exitCode;
    return true;
}

bool SimProcesses::queryFullProcessImageName(const ProcessHandle& process, std::u16string& path) {
    ZK_SIM_READ(Op::QueryFullProcessImageName, process, kQuery, false);
    path = p->imagePath.empty() ? u"C:\\Program Files\\" + p->exeName : p->imagePath;
    return true;
}

bool SimProcesses::isWow64Process(const ProcessHandle& process, bool& wow64) {
    if (core_.missing(Routine::IsWow64Process)) return false;
    ZK_SIM_READ(Op::IsWow64Process, process, kQuery, false);
    wow64 = p->wow64;
    return true;
}

bool SimProcesses::getProcessInformation(const ProcessHandle& process, std::uint32_t infoClass, void* buffer,
                                         std::uint32_t size) {
    if (core_.missing(Routine::GetProcessInformation)) return false;
    ZK_SIM_READ(Op::GetProcessInformation, process, kQuery, false);
    // The size "must be sizeof(PROCESS_PROTECTION_LEVEL_INFORMATION)", one DWORD. The
    // error for another size is not documented: ERROR_INVALID_PARAMETER, as before.
    if (infoClass != win::ProcessProtectionLevelInfo || size != sizeof p->protectionLevel || !buffer) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    std::memcpy(buffer, &p->protectionLevel, 4);
    return true;
}

std::int32_t SimProcesses::ntQueryInformationProcess(const ProcessHandle& process, std::uint32_t infoClass,
                                                     void* buffer, std::uint32_t size,
                                                     std::uint32_t* returnedSize) {
    std::int32_t status;
    if (core_.failsNative(Routine::NtQueryInformationProcess, Op::NtQueryInformationProcess, &status)) return status;
    std::lock_guard lk(core_.m);
    // The rights the I/O priority and break-on-termination classes need are not
    // documented: either query right to read, PROCESS_SET_INFORMATION to set, as before.
    SimProcess* p = target(process, kQuery);
    if (!p) return lastError() == win::ERROR_ACCESS_DENIED ? win::STATUS_ACCESS_DENIED : win::STATUS_INVALID_HANDLE;
    std::uint32_t value;
    if (infoClass == win::ProcessIoPriority)
        value = p->ioPriority;
    else if (infoClass == win::ProcessBreakOnTermination)
        value = p->breakOnTermination ? 1 : 0;
    else
        return win::STATUS_INVALID_INFO_CLASS;
    if (!buffer || size != 4) return win::STATUS_INFO_LENGTH_MISMATCH;
    std::memcpy(buffer, &value, 4);
    if (returnedSize) *returnedSize = 4;
    return win::STATUS_SUCCESS;
}

// --- changing ---------------------------------------------------------------------------

bool SimProcesses::setPriorityClass(const ProcessHandle& process, std::uint32_t priorityClass) {
    ZK_SIM_READ(Op::SetPriorityClass, process, win::PROCESS_SET_INFORMATION, false);
    const bool begin = priorityClass == win::PROCESS_MODE_BACKGROUND_BEGIN;
    if (begin || priorityClass == win::PROCESS_MODE_BACKGROUND_END) {
        // Background mode is for the calling process only.
        if (p->pid != currentPid) {
            lastError() = win::ERROR_INVALID_PARAMETER;
            return false;
        }
        if (p->backgroundMode == begin) {
            lastError() = begin ? win::ERROR_PROCESS_MODE_ALREADY_BACKGROUND : win::ERROR_PROCESS_MODE_NOT_BACKGROUND;
            return false;
        }
        p->backgroundMode = begin;
    } else {
        p->priorityClass = priorityClass;
    }
    core_.record("SetPriorityClass " + std::to_string(p->pid) + " " + hex(priorityClass));
    return true;
}

bool SimProcesses::setProcessAffinityMask(const ProcessHandle& process, std::uint64_t mask) {
    ZK_SIM_READ(Op::SetProcessAffinityMask, process, win::PROCESS_SET_INFORMATION, false);
    if (mask == 0 || (mask & ~maskOf(system_.currentGroupSize()))) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    p->affinity = mask;
    core_.record("SetProcessAffinityMask " + std::to_string(p->pid) + " " + hex(mask));
    return true;
}

std::int32_t SimProcesses::ntSetInformationProcess(const ProcessHandle& process, std::uint32_t infoClass,
                                                   const void* buffer, std::uint32_t size) {
    std::int32_t status;
    if (core_.failsNative(Routine::NtSetInformationProcess, Op::NtSetInformationProcess, &status)) return status;
    std::lock_guard lk(core_.m);
    SimProcess* p = target(process, win::PROCESS_SET_INFORMATION);
    if (!p) return lastError() == win::ERROR_ACCESS_DENIED ? win::STATUS_ACCESS_DENIED : win::STATUS_INVALID_HANDLE;
    if (!buffer || size != 4) return win::STATUS_INFO_LENGTH_MISMATCH;
    std::uint32_t value;
    std::memcpy(&value, buffer, 4);
    if (infoClass == win::ProcessIoPriority) {
        if (value > 3) return win::STATUS_INVALID_PARAMETER;  // critical is the kernel's own
        if (value == 3 && !tokens_.enabled("SeIncreaseBasePriorityPrivilege")) return win::STATUS_PRIVILEGE_NOT_HELD;
        p->ioPriority = value;
    } else if (infoClass == win::ProcessBreakOnTermination) {
        if (!tokens_.enabled("SeDebugPrivilege")) return win::STATUS_PRIVILEGE_NOT_HELD;
        p->breakOnTermination = value != 0;
    } else {
        return win::STATUS_INVALID_INFO_CLASS;
    }
    core_.record("NtSetInformationProcess " + std::to_string(p->pid) + " " + std::to_string(infoClass) + " " +
                 std::to_string(value));
    return win::STATUS_SUCCESS;
}

bool SimProcesses::terminateProcess(const ProcessHandle& process, std::uint32_t exitCode) {
    ZK_SIM_READ(Op::TerminateProcess, process, win::PROCESS_TERMINATE, false);
    if (!p->alive) {
        lastError() = win::ERROR_ACCESS_DENIED;  // as Windows answers for a process that has ended
        return false;
    }
    p->alive = false;
    p->exitCode = exitCode;
    core_.record("TerminateProcess " + std::to_string(p->pid) + " " + std::to_string(exitCode));
    return true;
}

bool SimProcesses::emptyWorkingSet(const ProcessHandle& process) {
    ZK_SIM_READ(Op::EmptyWorkingSet, process, kQuery | win::PROCESS_SET_QUOTA, false);
    p->memory.workingSetSize = 0;
    core_.record("EmptyWorkingSet " + std::to_string(p->pid));
    return true;
}

bool SimProcesses::setProcessWorkingSetSize(const ProcessHandle& process, std::uint64_t minimum,
                                            std::uint64_t maximum) {
    ZK_SIM_READ(Op::SetProcessWorkingSetSize, process, win::PROCESS_SET_QUOTA, false);
    if (minimum == ~0ull && maximum == ~0ull) {
        p->memory.workingSetSize = 0;  // both (SIZE_T)-1: as many pages as possible removed
    } else if (minimum == 0 || minimum > maximum || maximum < kMinimumWorkingSetMaximum) {
        // The minimum "must be greater than zero but less than or equal to the maximum";
        // the maximum "must be greater than or equal to 13 pages". The error is not
        // documented: ERROR_INVALID_PARAMETER.
        lastError() = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    core_.record("SetProcessWorkingSetSize " + std::to_string(p->pid) + " " + hex(minimum) + " " + hex(maximum));
    return true;
}

bool SimProcesses::startThread(std::thread& out, std::function<void()> fn) {
    if (core_.failsWin32(Op::StartThread)) return false;
    try {
        out = std::thread(std::move(fn));
        return true;
    } catch (const std::system_error&) {
        lastError() = win::ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
}

}  // namespace zk::sim
