#include "platform/sim/sim_machine.h"

#include <cstdio>
#include <cstdlib>

namespace zk::sim {

std::u16string u16(std::string_view ascii) {
    std::u16string out;
    out.reserve(ascii.size());
    for (unsigned char c : ascii) out.push_back(static_cast<char16_t>(c));
    return out;
}

SimMachine::SimMachine()
    : tokens_(*this, core_),
      system_(core_, tokens_),
      processes_(*this, core_, tokens_, system_),
      power_(core_),
      clocks_(core_),
      modules_(core_),
      services_(*this, core_) {
    tokens_.userSidOf = [this](std::uint32_t pid) {
        const SimProcess* p = processes_.find(pid);
        return p ? p->userSid : std::string{};
    };
}

// Module threads may still be using any area: they end before the areas go.
SimMachine::~SimMachine() { modules_.joinThreads(); }

bool SimMachine::closeHandle(HandleKind kind, RawHandle h) noexcept {
    std::uint32_t code;
    core_.enter(Op::CloseHandle, &code);  // closing is never made to fail
    std::lock_guard lk(core_.m);
    return core_.close(kind, h);
}

// --- files ------------------------------------------------------------------------------

SimFsEntry& SimMachine::addDirectory(std::u16string path) {
    std::lock_guard lk(core_.m);
    return files_.add(std::move(path), win::FILE_ATTRIBUTE_DIRECTORY, 0);
}

SimFsEntry& SimMachine::addFile(std::u16string path, std::uint64_t size) {
    std::lock_guard lk(core_.m);
    return files_.add(std::move(path), win::FILE_ATTRIBUTE_NORMAL, size);
}

SimFsEntry& SimMachine::addLink(std::u16string path, std::u16string target, bool folder) {
    std::lock_guard lk(core_.m);
    SimFsEntry& e = files_.add(std::move(path), win::FILE_ATTRIBUTE_REPARSE_POINT |
                                                    (folder ? win::FILE_ATTRIBUTE_DIRECTORY : 0u), 0);
    e.linkTarget = std::move(target);
    return e;
}

SimFsEntry* SimMachine::fsEntry(std::u16string_view path) {
    std::lock_guard lk(core_.m);
    return files_.find(path);
}

std::vector<PrefetchedRange> SimMachine::prefetches() {
    std::lock_guard lk(core_.m);
    return files_.prefetched;
}

// --- building ---------------------------------------------------------------------------

SimProcess& SimMachine::addProcess(std::uint32_t pid, std::uint32_t parentPid, std::u16string exeName) {
    std::lock_guard lk(core_.m);
    return processes_.add(pid, parentPid, std::move(exeName));
}

SimProcess& SimMachine::addProcess(std::uint32_t pid, std::uint32_t parentPid, std::string_view exeName) {
    return addProcess(pid, parentPid, u16(exeName));
}

SimProcess* SimMachine::process(std::uint32_t pid) {
    std::lock_guard lk(core_.m);
    return processes_.find(pid);
}

void SimMachine::withProcess(std::uint32_t pid, const std::function<void(SimProcess&)>& fn) {
    std::lock_guard lk(core_.m);
    if (SimProcess* p = processes_.find(pid)) fn(*p);
}

void SimMachine::exitProcess(std::uint32_t pid, std::uint32_t exitCode) {
    withProcess(pid, [&](SimProcess& p) {
        p.alive = false;
        p.exitCode = exitCode;
    });
}

void SimMachine::removeProcess(std::uint32_t pid) {
    std::lock_guard lk(core_.m);
    processes_.remove(pid);
}

void SimMachine::setCurrentProcessId(std::uint32_t pid) {
    std::lock_guard lk(core_.m);
    processes_.currentPid = pid;
}

void SimMachine::setLogicalProcessorCount(std::uint32_t n) {
    std::lock_guard lk(core_.m);
    system_.setLogicalProcessors(n);
}

void SimMachine::setProcessorGroups(std::vector<std::uint32_t> sizes) {
    std::lock_guard lk(core_.m);
    system_.setGroups(std::move(sizes));
}

void SimMachine::setProcessors(std::vector<ProcessorPower> entries) {
    std::lock_guard lk(core_.m);
    power_.processors = std::move(entries);
}

void SimMachine::scriptMemoryStatus(std::vector<MemoryStatus> readings) {
    std::lock_guard lk(core_.m);
    system_.memory.assign(readings.begin(), readings.end());
}

void SimMachine::addSystemPageFaults(std::uint32_t faults) {
    std::lock_guard lk(core_.m);
    system_.pageFaults += faults;
}

void SimMachine::setPhysicalCoreCount(std::uint32_t n) {
    std::lock_guard lk(core_.m);
    system_.physicalCores = n;
}

void SimMachine::addSystemTimes(std::uint64_t busyMs, std::uint64_t idleMs) {
    std::lock_guard lk(core_.m);
    system_.idleTime += idleMs * 10000;
    system_.kernelTime += (busyMs + idleMs) * 10000;
}

void SimMachine::setTokenElevated(bool elevated) {
    std::lock_guard lk(core_.m);
    tokens_.tokenElevated = elevated;
}

// --- power schemes ----------------------------------------------------------------------

void SimMachine::addPowerScheme(const Guid& scheme) {
    std::lock_guard lk(core_.m);
    power_.schemes[guidText(scheme)];
}

Guid SimMachine::activePowerScheme() {
    std::lock_guard lk(core_.m);
    return power_.active;
}

void SimMachine::setPowerValue(const Guid& scheme, const Guid& subgroup, const Guid& setting, PowerValue v) {
    std::lock_guard lk(core_.m);
    power_.schemes[guidText(scheme)][SimPower::settingKey(subgroup, setting)] = v;
}

std::optional<PowerValue> SimMachine::powerValue(const Guid& scheme, const Guid& subgroup, const Guid& setting) {
    std::lock_guard lk(core_.m);
    auto s = power_.schemes.find(guidText(scheme));
    if (s == power_.schemes.end()) return std::nullopt;
    auto v = s->second.find(SimPower::settingKey(subgroup, setting));
    if (v == s->second.end()) return std::nullopt;
    return v->second;
}

void SimMachine::failPowerRead(const Guid& setting, std::uint32_t error) {
    std::lock_guard lk(core_.m);
    power_.readFailures[guidText(setting)] = error;
}

void SimMachine::failPowerWrite(const Guid& setting, std::uint32_t error) {
    std::lock_guard lk(core_.m);
    power_.writeFailures[guidText(setting)] = error;
}

void SimMachine::setPowerStatus(SystemPowerStatus status) {
    std::lock_guard lk(core_.m);
    power_.status = status;
}

// --- failures and hooks -----------------------------------------------------------------

void SimMachine::failOp(Op op, std::uint32_t errorOrStatus, int times) {
    std::lock_guard lk(core_.m);
    core_.faults[op] = SimCore::Fault{errorOrStatus, times};
}

void SimMachine::clearFaults() {
    std::lock_guard lk(core_.m);
    core_.faults.clear();
}

void SimMachine::hideRoutine(Routine r, bool hidden) {
    std::lock_guard lk(core_.m);
    core_.hiddenRoutines[static_cast<std::size_t>(r)] = hidden;
}

void SimMachine::setHook(Op op, std::function<void()> hook) {
    std::lock_guard lk(core_.m);
    if (hook)
        core_.hooks[op] = std::move(hook);
    else
        core_.hooks.erase(op);
}

void SimMachine::denyPrivilege(const std::string& name) {
    std::lock_guard lk(core_.m);
    tokens_.denied.insert(name);
}

void SimMachine::notAllAssigned(const std::string& name) {
    std::lock_guard lk(core_.m);
    tokens_.notAssigned.insert(name);
}

bool SimMachine::privilegeEnabled(const std::string& name) {
    std::lock_guard lk(core_.m);
    return tokens_.enabled(name);
}

void SimMachine::setOwnExport(const std::string& name, void* fn) {
    std::lock_guard lk(core_.m);
    modules_.ownExports[name] = fn;
}

void SimMachine::hideOwnExport(const std::string& name) {
    std::lock_guard lk(core_.m);
    modules_.ownExports.erase(name);
}

void SimMachine::setOwnModuleMissing(bool missing) {
    std::lock_guard lk(core_.m);
    modules_.ownModuleMissing = missing;
}

void SimMachine::joinModuleThreads() { modules_.joinThreads(); }
std::size_t SimMachine::moduleThreadsRunning() { return modules_.threadsRunning(); }

// --- services ---------------------------------------------------------------------------

SimService& SimMachine::addService(std::u16string name, std::uint32_t state, std::uint32_t startType) {
    std::lock_guard lk(core_.m);
    return services_.add(std::move(name), state, startType);
}

SimService& SimMachine::addService(std::string_view name, std::uint32_t state, std::uint32_t startType) {
    return addService(u16(name), state, startType);
}

SimService* SimMachine::service(std::u16string_view name) {
    std::lock_guard lk(core_.m);
    return services_.find(name);
}

void SimMachine::withService(std::u16string_view name, const std::function<void(SimService&)>& fn) {
    std::lock_guard lk(core_.m);
    if (SimService* s = services_.find(name)) fn(*s);
}

// --- clock ------------------------------------------------------------------------------

void SimMachine::advanceMs(std::uint64_t ms) { advanceNs(ms * 1000000ull); }

void SimMachine::advanceNs(std::uint64_t ns) {
    std::lock_guard lk(core_.m);
    core_.nowNs += ns;
}

std::uint64_t SimMachine::nowNs() {
    std::lock_guard lk(core_.m);
    return core_.nowNs;
}

void SimMachine::scriptSleepOvershootUs(std::vector<std::uint64_t> overshoots) {
    std::lock_guard lk(core_.m);
    clocks_.overshootUs.assign(overshoots.begin(), overshoots.end());
}

std::uint64_t SimMachine::sleepCount() {
    std::lock_guard lk(core_.m);
    return clocks_.sleeps;
}

// --- observation ------------------------------------------------------------------------

std::size_t SimMachine::openHandleCount() {
    std::lock_guard lk(core_.m);
    return core_.handles.size();
}

std::vector<std::string> SimMachine::changes() {
    std::lock_guard lk(core_.m);
    return core_.changes;
}

void SimMachine::clearChanges() {
    std::lock_guard lk(core_.m);
    core_.changes.clear();
}

std::vector<OpenRecord> SimMachine::opens() {
    std::lock_guard lk(core_.m);
    return processes_.opens;
}

std::uint64_t SimMachine::callCount(Op op) {
    std::lock_guard lk(core_.m);
    return core_.calls[static_cast<std::size_t>(op)];
}

std::uint64_t SimMachine::totalCalls() {
    std::lock_guard lk(core_.m);
    std::uint64_t n = 0;
    for (auto c : core_.calls) n += c;
    return n;
}

void SimMachine::resetCallCounts() {
    std::lock_guard lk(core_.m);
    core_.calls.fill(0);
}

std::vector<std::string> SimMachine::debugOutput() {
    std::lock_guard lk(core_.m);
    return system_.debug;
}

std::string SimMachine::stdErr() {
    std::lock_guard lk(core_.m);
    return system_.stdErr;
}

std::string SimMachine::stdOut() {
    std::lock_guard lk(core_.m);
    return system_.stdOut;
}

}  // namespace zk::sim

namespace zk::platform {

// The native build has no machine of its own: a test that forgets to install one stops
// here rather than sharing state with other tests.
Platform& defaultPlatform() {
    std::fputs("no simulated machine installed: install one (zk::sim::ScopedMachine) before calling the library\n",
               stderr);
    std::abort();
}

}  // namespace zk::platform
