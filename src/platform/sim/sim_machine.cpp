#include "platform/sim/sim_machine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace zk::sim {

namespace {

thread_local std::uint32_t t_lastError = 0;

// 2026-12-06 12:00:00.000 local, as the machine's start of time.
constexpr std::uint64_t kBootFileTime = 134094384000000000ull;

std::string hex(std::uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

std::uint64_t allProcessors(std::uint32_t n) {
    return n >= 64 ? ~0ull : ((1ull << n) - 1);
}

}  // namespace

std::u16string u16(std::string_view ascii) {
    std::u16string out;
    out.reserve(ascii.size());
    for (unsigned char c : ascii) out.push_back(static_cast<char16_t>(c));
    return out;
}

SimMachine::SimMachine() {
    processors_.assign(logicalProcessors_, ProcessorPower{});
    for (std::uint32_t i = 0; i < processors_.size(); ++i) processors_[i].number = i;
    MemoryStatus ms;
    ms.memoryLoad = 40;
    ms.totalPhys = 16ull << 30;
    ms.availPhys = ms.totalPhys * 60 / 100;
    ms.totalPageFile = ms.totalVirtual = 32ull << 30;
    ms.availPageFile = ms.availVirtual = 20ull << 30;
    memory_.push_back(ms);
    privilegeNames_ = {"SeDebugPrivilege",
                       "SeIncreaseBasePriorityPrivilege",
                       "SeProfileSingleProcessPrivilege",
                       "SeIncreaseQuotaPrivilege",
                       "SeBackupPrivilege",
                       "SeRestorePrivilege",
                       "SeChangeNotifyPrivilege",
                       "SeShutdownPrivilege"};
    SimProcess self;
    self.pid = currentPid_;
    self.parentPid = 4;
    self.exeName = u"zelkor_tests.exe";
    index_[self.pid] = processes_.size();
    processes_.push_back(self);
}

SimMachine::~SimMachine() = default;

// --- building ---------------------------------------------------------------------------

SimProcess& SimMachine::addProcess(std::uint32_t pid, std::uint32_t parentPid,
                                   std::u16string exeName) {
    std::lock_guard lk(m_);
    auto it = index_.find(pid);
    SimProcess p;
    p.pid = pid;
    p.parentPid = parentPid;
    p.exeName = std::move(exeName);
    if (it != index_.end()) {
        processes_[it->second] = std::move(p);
        return processes_[it->second];
    }
    index_[pid] = processes_.size();
    processes_.push_back(std::move(p));
    return processes_.back();
}

SimProcess& SimMachine::addProcess(std::uint32_t pid, std::uint32_t parentPid,
                                   std::string_view exeName) {
    return addProcess(pid, parentPid, u16(exeName));
}

SimProcess* SimMachine::process(std::uint32_t pid) {
    std::lock_guard lk(m_);
    auto it = index_.find(pid);
    return it == index_.end() ? nullptr : &processes_[it->second];
}

void SimMachine::withProcess(std::uint32_t pid, const std::function<void(SimProcess&)>& fn) {
    std::lock_guard lk(m_);
    auto it = index_.find(pid);
    if (it != index_.end()) fn(processes_[it->second]);
}

void SimMachine::exitProcess(std::uint32_t pid, std::uint32_t exitCode) {
    withProcess(pid, [&](SimProcess& p) {
        p.alive = false;
        p.exitCode = exitCode;
    });
}

void SimMachine::removeProcess(std::uint32_t pid) {
    std::lock_guard lk(m_);
    auto it = index_.find(pid);
    if (it == index_.end()) return;
    processes_.erase(processes_.begin() + static_cast<std::ptrdiff_t>(it->second));
    index_.clear();
    for (std::size_t i = 0; i < processes_.size(); ++i) index_[processes_[i].pid] = i;
}

void SimMachine::setCurrentProcessId(std::uint32_t pid) {
    std::lock_guard lk(m_);
    currentPid_ = pid;
}

void SimMachine::setLogicalProcessorCount(std::uint32_t n) {
    std::lock_guard lk(m_);
    logicalProcessors_ = n;
}

void SimMachine::setProcessors(std::vector<ProcessorPower> entries) {
    std::lock_guard lk(m_);
    processors_ = std::move(entries);
}

void SimMachine::scriptMemoryStatus(std::vector<MemoryStatus> readings) {
    std::lock_guard lk(m_);
    memory_.assign(readings.begin(), readings.end());
}

// --- failures and hooks ---------------------------------------------------------------

void SimMachine::failOp(Op op, std::uint32_t errorOrStatus, int times) {
    std::lock_guard lk(m_);
    faults_[op] = Fault{errorOrStatus, times};
}

void SimMachine::clearFaults() {
    std::lock_guard lk(m_);
    faults_.clear();
}

void SimMachine::hideRoutine(Routine r, bool hidden) {
    std::lock_guard lk(m_);
    hidden_[static_cast<std::size_t>(r)] = hidden;
}

void SimMachine::setHook(Op op, std::function<void()> hook) {
    std::lock_guard lk(m_);
    if (hook)
        hooks_[op] = std::move(hook);
    else
        hooks_.erase(op);
}

void SimMachine::denyPrivilege(const std::string& name) {
    std::lock_guard lk(m_);
    deniedPrivileges_.insert(name);
}

void SimMachine::notAllAssigned(const std::string& name) {
    std::lock_guard lk(m_);
    notAllAssigned_.insert(name);
}

bool SimMachine::privilegeEnabled(const std::string& name) {
    std::lock_guard lk(m_);
    return enabledPrivileges_.count(name) != 0;
}

void SimMachine::setOwnExport(const std::string& name, void* fn) {
    std::lock_guard lk(m_);
    ownExports_[name] = fn;
}

void SimMachine::hideOwnExport(const std::string& name) {
    std::lock_guard lk(m_);
    ownExports_.erase(name);
}

void SimMachine::setOwnModuleMissing(bool missing) {
    std::lock_guard lk(m_);
    ownModuleMissing_ = missing;
}

bool SimMachine::enter(Op op, std::uint32_t* code) {
    std::function<void()> hook;
    {
        std::lock_guard lk(m_);
        ++calls_[static_cast<std::size_t>(op)];
        auto h = hooks_.find(op);
        if (h != hooks_.end()) hook = h->second;
    }
    if (hook) hook();
    std::lock_guard lk(m_);
    auto f = faults_.find(op);
    if (f == faults_.end()) return false;
    *code = f->second.code;
    if (f->second.remaining > 0 && --f->second.remaining == 0) faults_.erase(f);
    return true;
}

// --- clock ------------------------------------------------------------------------------

void SimMachine::advanceMs(std::uint64_t ms) { advanceNs(ms * 1000000ull); }

void SimMachine::advanceNs(std::uint64_t ns) {
    std::lock_guard lk(m_);
    nowNs_ += ns;
}

std::uint64_t SimMachine::nowNs() {
    std::lock_guard lk(m_);
    return nowNs_;
}

void SimMachine::scriptSleepOvershootUs(std::vector<std::uint64_t> overshoots) {
    std::lock_guard lk(m_);
    overshootUs_.assign(overshoots.begin(), overshoots.end());
}

std::uint64_t SimMachine::sleepCount() {
    std::lock_guard lk(m_);
    return sleeps_;
}

// --- observation ------------------------------------------------------------------------

std::size_t SimMachine::openHandleCount() {
    std::lock_guard lk(m_);
    return handles_.size();
}

std::vector<std::string> SimMachine::changes() {
    std::lock_guard lk(m_);
    return changes_;
}

void SimMachine::clearChanges() {
    std::lock_guard lk(m_);
    changes_.clear();
}

std::vector<OpenRecord> SimMachine::opens() {
    std::lock_guard lk(m_);
    return opens_;
}

std::uint64_t SimMachine::callCount(Op op) {
    std::lock_guard lk(m_);
    return calls_[static_cast<std::size_t>(op)];
}

std::uint64_t SimMachine::totalCalls() {
    std::lock_guard lk(m_);
    std::uint64_t n = 0;
    for (auto c : calls_) n += c;
    return n;
}

void SimMachine::resetCallCounts() {
    std::lock_guard lk(m_);
    calls_.fill(0);
}

std::vector<std::string> SimMachine::debugOutput() {
    std::lock_guard lk(m_);
    return debug_;
}

std::string SimMachine::stdErr() {
    std::lock_guard lk(m_);
    return stderr_;
}

std::string SimMachine::stdOut() {
    std::lock_guard lk(m_);
    return stdout_;
}

void SimMachine::record(std::string change) { changes_.push_back(std::move(change)); }

// --- handles and errors -----------------------------------------------------------------

RawHandle SimMachine::newHandle(HandleInfo info) {
    RawHandle h = nextHandle_;
    nextHandle_ += 4;
    handles_.emplace(h, std::move(info));
    return h;
}

void SimMachine::closeHandle(RawHandle h) {
    std::uint32_t code;
    enter(Op::CloseHandle, &code);  // closing never fails
    std::lock_guard lk(m_);
    handles_.erase(h);
}

std::uint32_t SimMachine::lastError() { return t_lastError; }
void SimMachine::setLastError(std::uint32_t code) { t_lastError = code; }

bool SimMachine::hasRoutine(Routine r) {
    std::lock_guard lk(m_);
    return !hidden_[static_cast<std::size_t>(r)];
}

SimProcess* SimMachine::processFor(RawHandle h, std::uint32_t needed) {
    auto it = handles_.find(h);
    if (it == handles_.end() || it->second.kind != Kind::Process) {
        t_lastError = win::ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (needed && !(it->second.access & needed)) {
        t_lastError = win::ERROR_ACCESS_DENIED;
        return nullptr;
    }
    auto p = index_.find(it->second.pid);
    if (p == index_.end()) {
        t_lastError = win::ERROR_INVALID_HANDLE;
        return nullptr;
    }
    return &processes_[p->second];
}

// Rights that let a handle read process information.
constexpr std::uint32_t kQuery = win::PROCESS_QUERY_INFORMATION | win::PROCESS_QUERY_LIMITED_INFORMATION;

#define ZK_SIM_ENTER(op, failResult)          \
    do {                                      \
        std::uint32_t code_;                  \
        if (enter(op, &code_)) {              \
            t_lastError = code_;              \
            return failResult;                \
        }                                     \
    } while (0)

// --- processes --------------------------------------------------------------------------

UniqueHandle SimMachine::createProcessSnapshot() {
    ZK_SIM_ENTER(Op::CreateProcessSnapshot, UniqueHandle());
    std::lock_guard lk(m_);
    HandleInfo info;
    info.kind = Kind::Snapshot;
    info.rows.reserve(processes_.size());
    for (const auto& p : processes_) {
        if (!p.alive) continue;
        ProcessEntry e;
        e.pid = p.pid;
        e.parentPid = p.parentPid;
        e.threadCount = 1;
        e.basePriority = 8;
        std::size_t n = std::min<std::size_t>(p.exeName.size(), 259);
        std::copy_n(p.exeName.begin(), n, e.exeFile);
        e.exeFile[n] = 0;
        info.rows.push_back(e);
    }
    return UniqueHandle(this, newHandle(std::move(info)));
}

bool SimMachine::processFirst(RawHandle snapshot, ProcessEntry& out) {
    ZK_SIM_ENTER(Op::ProcessFirst, false);
    std::lock_guard lk(m_);
    auto it = handles_.find(snapshot);
    if (it == handles_.end() || it->second.kind != Kind::Snapshot) {
        t_lastError = win::ERROR_INVALID_HANDLE;
        return false;
    }
    it->second.cursor = 0;
    if (it->second.rows.empty()) {
        t_lastError = win::ERROR_NO_MORE_FILES;
        return false;
    }
    out = it->second.rows[it->second.cursor++];
    return true;
}

bool SimMachine::processNext(RawHandle snapshot, ProcessEntry& out) {
    ZK_SIM_ENTER(Op::ProcessNext, false);
    std::lock_guard lk(m_);
    auto it = handles_.find(snapshot);
    if (it == handles_.end() || it->second.kind != Kind::Snapshot) {
        t_lastError = win::ERROR_INVALID_HANDLE;
        return false;
    }
    if (it->second.cursor >= it->second.rows.size()) {
        t_lastError = win::ERROR_NO_MORE_FILES;
        return false;
    }
    out = it->second.rows[it->second.cursor++];
    return true;
}

UniqueHandle SimMachine::openProcess(std::uint32_t access, bool, std::uint32_t pid) {
    ZK_SIM_ENTER(Op::OpenProcess, UniqueHandle());
    std::lock_guard lk(m_);
    opens_.push_back({pid, access});
    auto it = index_.find(pid);
    if (pid == 0 || it == index_.end()) {
        t_lastError = win::ERROR_INVALID_PARAMETER;
        return UniqueHandle();
    }
    if (access & processes_[it->second].deniedAccess) {
        t_lastError = win::ERROR_ACCESS_DENIED;
        return UniqueHandle();
    }
    HandleInfo info;
    info.kind = Kind::Process;
    info.pid = pid;
    info.access = access;
    return UniqueHandle(this, newHandle(std::move(info)));
}

std::uint32_t SimMachine::currentProcessId() {
    std::lock_guard lk(m_);
    return currentPid_;
}

bool SimMachine::getProcessMemoryInfo(RawHandle process, MemoryCounters& out) {
    ZK_SIM_ENTER(Op::GetProcessMemoryInfo, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    if (!p) return false;
    out = p->memory;
    return true;
}

bool SimMachine::getProcessTimes(RawHandle process, ProcessTimes& out) {
    ZK_SIM_ENTER(Op::GetProcessTimes, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    if (!p) return false;
    out = p->times;
    return true;
}

bool SimMachine::getProcessIoCounters(RawHandle process, IoCounters& out) {
    ZK_SIM_ENTER(Op::GetProcessIoCounters, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    if (!p) return false;
    out = p->io;
    return true;
}

std::uint32_t SimMachine::getPriorityClass(RawHandle process) {
    ZK_SIM_ENTER(Op::GetPriorityClass, 0u);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    return p ? p->priorityClass : 0u;
}

bool SimMachine::setPriorityClass(RawHandle process, std::uint32_t priorityClass) {
    ZK_SIM_ENTER(Op::SetPriorityClass, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, win::PROCESS_SET_INFORMATION);
    if (!p) return false;
    if (priorityClass == win::PROCESS_MODE_BACKGROUND_BEGIN ||
        priorityClass == win::PROCESS_MODE_BACKGROUND_END) {
        p->backgroundMode = priorityClass == win::PROCESS_MODE_BACKGROUND_BEGIN;
    } else {
        p->priorityClass = priorityClass;
    }
    record("SetPriorityClass " + std::to_string(p->pid) + " " + hex(priorityClass));
    return true;
}

bool SimMachine::getProcessAffinityMask(RawHandle process, std::uint64_t& processMask,
                                        std::uint64_t& systemMask) {
    ZK_SIM_ENTER(Op::GetProcessAffinityMask, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    if (!p) return false;
    systemMask = allProcessors(logicalProcessors_);
    processMask = p->affinity ? p->affinity : systemMask;
    return true;
}

bool SimMachine::setProcessAffinityMask(RawHandle process, std::uint64_t mask) {
    ZK_SIM_ENTER(Op::SetProcessAffinityMask, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, win::PROCESS_SET_INFORMATION);
    if (!p) return false;
    if (mask == 0 || (mask & ~allProcessors(logicalProcessors_))) {
        t_lastError = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    p->affinity = mask;
    record("SetProcessAffinityMask " + std::to_string(p->pid) + " " + hex(mask));
    return true;
}

bool SimMachine::getExitCodeProcess(RawHandle process, std::uint32_t& code) {
    ZK_SIM_ENTER(Op::GetExitCodeProcess, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    if (!p) return false;
    code = p->alive ? win::STILL_ACTIVE : p->exitCode;
    return true;
}

bool SimMachine::terminateProcess(RawHandle process, std::uint32_t exitCode) {
    ZK_SIM_ENTER(Op::TerminateProcess, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, win::PROCESS_TERMINATE);
    if (!p) return false;
    p->alive = false;
    p->exitCode = exitCode;
    record("TerminateProcess " + std::to_string(p->pid) + " " + std::to_string(exitCode));
    return true;
}

bool SimMachine::queryFullProcessImageName(RawHandle process, std::u16string& path) {
    ZK_SIM_ENTER(Op::QueryFullProcessImageName, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    if (!p) return false;
    path = p->imagePath.empty() ? u"C:\\Program Files\\" + p->exeName : p->imagePath;
    return true;
}

bool SimMachine::emptyWorkingSet(RawHandle process) {
    ZK_SIM_ENTER(Op::EmptyWorkingSet, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, win::PROCESS_SET_QUOTA);
    if (!p) return false;
    p->memory.workingSetSize = 0;
    record("EmptyWorkingSet " + std::to_string(p->pid));
    return true;
}

bool SimMachine::setProcessWorkingSetSize(RawHandle process, std::uint64_t minimum,
                                          std::uint64_t maximum) {
    ZK_SIM_ENTER(Op::SetProcessWorkingSetSize, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, win::PROCESS_SET_QUOTA);
    if (!p) return false;
    if (minimum == ~0ull && maximum == ~0ull) p->memory.workingSetSize = 0;
    record("SetProcessWorkingSetSize " + std::to_string(p->pid) + " " + hex(minimum) + " " +
           hex(maximum));
    return true;
}

bool SimMachine::isWow64Process(RawHandle process, bool& wow64) {
    if (!hasRoutine(Routine::IsWow64Process)) {
        t_lastError = win::ERROR_PROC_NOT_FOUND;
        return false;
    }
    ZK_SIM_ENTER(Op::IsWow64Process, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    if (!p) return false;
    wow64 = p->wow64;
    return true;
}

bool SimMachine::getProcessInformation(RawHandle process, std::uint32_t infoClass, void* buffer,
                                       std::uint32_t size) {
    if (!hasRoutine(Routine::GetProcessInformation)) {
        t_lastError = win::ERROR_PROC_NOT_FOUND;
        return false;
    }
    ZK_SIM_ENTER(Op::GetProcessInformation, false);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    if (!p) return false;
    if (infoClass != win::ProcessProtectionLevelInfo || size < 4 || !buffer) {
        t_lastError = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    std::memcpy(buffer, &p->protectionLevel, 4);
    return true;
}

std::int32_t SimMachine::ntQueryInformationProcess(RawHandle process, std::uint32_t infoClass,
                                                   void* buffer, std::uint32_t size,
                                                   std::uint32_t* returnedSize) {
    if (!hasRoutine(Routine::NtQueryInformationProcess)) return win::STATUS_PROCEDURE_NOT_FOUND;
    std::uint32_t code;
    if (enter(Op::NtQueryInformationProcess, &code)) return static_cast<std::int32_t>(code);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, kQuery);
    if (!p) return win::STATUS_ACCESS_DENIED;
    std::uint32_t value;
    if (infoClass == win::ProcessIoPriority)
        value = p->ioPriority;
    else if (infoClass == win::ProcessBreakOnTermination)
        value = p->breakOnTermination ? 1 : 0;
    else
        return win::STATUS_INVALID_INFO_CLASS;
    if (!buffer || size < 4) return win::STATUS_INVALID_PARAMETER;  // info length mismatch
    std::memcpy(buffer, &value, 4);
    if (returnedSize) *returnedSize = 4;
    return win::STATUS_SUCCESS;
}

std::int32_t SimMachine::ntSetInformationProcess(RawHandle process, std::uint32_t infoClass,
                                                 const void* buffer, std::uint32_t size) {
    if (!hasRoutine(Routine::NtSetInformationProcess)) return win::STATUS_PROCEDURE_NOT_FOUND;
    std::uint32_t code;
    if (enter(Op::NtSetInformationProcess, &code)) return static_cast<std::int32_t>(code);
    std::lock_guard lk(m_);
    SimProcess* p = processFor(process, win::PROCESS_SET_INFORMATION);
    if (!p) return win::STATUS_ACCESS_DENIED;
    if (!buffer || size != 4) return win::STATUS_INVALID_PARAMETER;
    std::uint32_t value;
    std::memcpy(&value, buffer, 4);
    if (infoClass == win::ProcessIoPriority) {
        if (value > 3) return win::STATUS_INVALID_PARAMETER;
        p->ioPriority = value;
    } else if (infoClass == win::ProcessBreakOnTermination) {
        p->breakOnTermination = value != 0;
    } else {
        return win::STATUS_INVALID_INFO_CLASS;
    }
    record("NtSetInformationProcess " + std::to_string(p->pid) + " " + std::to_string(infoClass) +
           " " + std::to_string(value));
    return win::STATUS_SUCCESS;
}

// --- token ------------------------------------------------------------------------------

UniqueHandle SimMachine::openProcessToken(std::uint32_t access) {
    ZK_SIM_ENTER(Op::OpenProcessToken, UniqueHandle());
    std::lock_guard lk(m_);
    HandleInfo info;
    info.kind = Kind::Token;
    info.access = access;
    return UniqueHandle(this, newHandle(std::move(info)));
}

bool SimMachine::lookupPrivilegeValue(const char* name, std::uint64_t& luid) {
    ZK_SIM_ENTER(Op::LookupPrivilegeValue, false);
    std::lock_guard lk(m_);
    auto it = std::find(privilegeNames_.begin(), privilegeNames_.end(), name ? name : "");
    if (!name || it == privilegeNames_.end() || deniedPrivileges_.count(name)) {
        t_lastError = win::ERROR_NO_SUCH_PRIVILEGE;
        return false;
    }
    luid = static_cast<std::uint64_t>(it - privilegeNames_.begin()) + 2;
    return true;
}

bool SimMachine::adjustTokenPrivilege(RawHandle token, std::uint64_t luid, bool enable) {
    ZK_SIM_ENTER(Op::AdjustTokenPrivilege, false);
    std::lock_guard lk(m_);
    auto it = handles_.find(token);
    if (it == handles_.end() || it->second.kind != Kind::Token) {
        t_lastError = win::ERROR_INVALID_HANDLE;
        return false;
    }
    if (!(it->second.access & win::TOKEN_ADJUST_PRIVILEGES)) {
        t_lastError = win::ERROR_ACCESS_DENIED;
        return false;
    }
    if (luid < 2 || luid - 2 >= privilegeNames_.size()) {
        t_lastError = win::ERROR_INVALID_PARAMETER;
        return false;
    }
    const std::string& name = privilegeNames_[luid - 2];
    if (notAllAssigned_.count(name)) {
        t_lastError = win::ERROR_NOT_ALL_ASSIGNED;
        return true;
    }
    if (enable)
        enabledPrivileges_.insert(name);
    else
        enabledPrivileges_.erase(name);
    record("AdjustTokenPrivileges " + name + (enable ? " on" : " off"));
    t_lastError = win::ERROR_SUCCESS;
    return true;
}

bool SimMachine::getTokenElevation(RawHandle token, bool& elevated) {
    ZK_SIM_ENTER(Op::GetTokenElevation, false);
    std::lock_guard lk(m_);
    auto it = handles_.find(token);
    if (it == handles_.end() || it->second.kind != Kind::Token) {
        t_lastError = win::ERROR_INVALID_HANDLE;
        return false;
    }
    elevated = true;
    return true;
}

// --- system -----------------------------------------------------------------------------

std::uint32_t SimMachine::logicalProcessorCount() {
    std::lock_guard lk(m_);
    return logicalProcessors_;
}

bool SimMachine::globalMemoryStatus(MemoryStatus& out) {
    ZK_SIM_ENTER(Op::GlobalMemoryStatus, false);
    std::lock_guard lk(m_);
    out = memory_.front();
    if (memory_.size() > 1) memory_.pop_front();
    return true;
}

std::int32_t SimMachine::ntPowerInformation(std::uint32_t level, const void*, std::uint32_t,
                                            void* output, std::uint32_t outputSize) {
    if (!hasRoutine(Routine::NtPowerInformation)) return win::STATUS_PROCEDURE_NOT_FOUND;
    std::uint32_t code;
    if (enter(Op::NtPowerInformation, &code)) return static_cast<std::int32_t>(code);
    std::lock_guard lk(m_);
    if (level != win::ProcessorInformation) return win::STATUS_INVALID_PARAMETER;
    const std::size_t need = processors_.size() * 6 * sizeof(std::uint32_t);
    if (!output || outputSize < need) return win::STATUS_BUFFER_TOO_SMALL;
    auto* out = static_cast<std::uint32_t*>(output);
    for (const auto& p : processors_) {
        const std::uint32_t row[6] = {p.number,       p.maxMhz,       p.currentMhz,
                                      p.mhzLimit,     p.maxIdleState, p.currentIdleState};
        std::memcpy(out, row, sizeof row);
        out += 6;
    }
    return win::STATUS_SUCCESS;
}

std::int32_t SimMachine::ntSetSystemInformation(std::uint32_t infoClass, const void* buffer,
                                                std::uint32_t size) {
    if (!hasRoutine(Routine::NtSetSystemInformation)) return win::STATUS_PROCEDURE_NOT_FOUND;
    std::uint32_t code;
    if (enter(Op::NtSetSystemInformation, &code)) return static_cast<std::int32_t>(code);
    std::lock_guard lk(m_);
    std::uint32_t value = 0;
    if (buffer && size >= 4) std::memcpy(&value, buffer, 4);
    record("NtSetSystemInformation " + std::to_string(infoClass) + " " + std::to_string(value));
    return win::STATUS_SUCCESS;
}

// --- clocks -----------------------------------------------------------------------------

std::int64_t SimMachine::queryPerformanceCounter() {
    std::lock_guard lk(m_);
    return static_cast<std::int64_t>(nowNs_ / 100);
}

std::int64_t SimMachine::queryPerformanceFrequency() { return 10000000; }

std::uint64_t SimMachine::tickCount64() {
    std::lock_guard lk(m_);
    return nowNs_ / 1000000ull;
}

std::uint64_t SimMachine::steadyNs() {
    std::lock_guard lk(m_);
    return nowNs_;
}

std::uint64_t SimMachine::systemTimeAsFileTime() {
    std::lock_guard lk(m_);
    return kBootFileTime + nowNs_ / 100;
}

LocalTime SimMachine::localTime() {
    std::uint64_t ms;
    {
        std::lock_guard lk(m_);
        ms = nowNs_ / 1000000ull;
    }
    // The machine's clock starts at 2026-12-06 12:00:00.000 and stays within the month
    // in any test.
    LocalTime t;
    t.year = 2026;
    t.month = 12;
    std::uint64_t secs = 12 * 3600 + ms / 1000;
    std::uint64_t days = secs / 86400;
    t.day = static_cast<std::uint16_t>(6 + days);
    t.dayOfWeek = static_cast<std::uint16_t>(days % 7);  // the 6th is a Sunday
    secs %= 86400;
    t.hour = static_cast<std::uint16_t>(secs / 3600);
    t.minute = static_cast<std::uint16_t>(secs / 60 % 60);
    t.second = static_cast<std::uint16_t>(secs % 60);
    t.milliseconds = static_cast<std::uint16_t>(ms % 1000);
    return t;
}

void SimMachine::sleepMs(std::uint32_t ms) {
    {
        std::lock_guard lk(m_);
        std::uint64_t extraUs = 0;
        if (!overshootUs_.empty()) {
            extraUs = overshootUs_.front();
            overshootUs_.pop_front();
        }
        nowNs_ += ms * 1000000ull + extraUs * 1000ull;
        ++sleeps_;
    }
    // Let other threads run, as a real sleep would, without waiting real time.
    std::this_thread::yield();
}

// --- output, threads, modules, text -----------------------------------------------------

void SimMachine::outputDebugString(const char* text) {
    std::lock_guard lk(m_);
    debug_.emplace_back(text ? text : "");
}

void SimMachine::writeStdErr(std::string_view text) {
    std::lock_guard lk(m_);
    stderr_.append(text);
}

void SimMachine::writeStdOut(std::string_view text) {
    std::lock_guard lk(m_);
    stdout_.append(text);
}

bool SimMachine::startThread(std::thread& out, std::function<void()> fn) {
    std::uint32_t code;
    if (enter(Op::StartThread, &code)) {
        t_lastError = code;
        return false;
    }
    try {
        out = std::thread(std::move(fn));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void* SimMachine::findOwnExport(const char* name) {
    std::lock_guard lk(m_);
    if (ownModuleMissing_ || !name) return nullptr;
    auto it = ownExports_.find(name);
    return it == ownExports_.end() ? nullptr : it->second;
}

std::string SimMachine::wideToAnsi(std::u16string_view text) {
    // The simulated ANSI code page is Latin-1; anything beyond it becomes '?'.
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

int SimMachine::ansiToWide(const char* text, int length, char16_t* out, int outChars) {
    ZK_SIM_ENTER(Op::AnsiToWide, 0);
    // Latin-1, like wideToAnsi: one wide character per byte.
    if (!text || length < -1 || outChars < 0 || (outChars > 0 && !out)) {
        t_lastError = win::ERROR_INVALID_PARAMETER;
        return 0;
    }
    const std::size_t n = length == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
    if (n == 0) {
        t_lastError = win::ERROR_INVALID_PARAMETER;
        return 0;
    }
    if (outChars == 0) return static_cast<int>(n);
    if (static_cast<std::size_t>(outChars) < n) {
        t_lastError = win::ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(text[i]);
    return static_cast<int>(n);
}

}  // namespace zk::sim

namespace zk::platform {

// Without an installed machine, the native build runs over a machine of its own.
Platform& defaultPlatform() {
    static sim::SimMachine machine;
    return machine;
}

}  // namespace zk::platform
