#pragma once
// A simulated Windows machine behind the platform seam, for tests.
//
// It holds processes, processor groups, memory readings, processor power information, a
// manual clock, the library's own export table and the token's privileges; it can make
// any operation fail with a chosen error, hide any run-time routine, run a hook inside any
// operation, and it accounts for every handle and records every call that changes the
// machine. It refuses what Windows refuses: a right the handle was not opened with, a
// second close or a close of another kind of handle, background mode on another process,
// high I/O priority without its privilege, a processor group of more than 64.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_clocks.h"
#include "platform/sim/sim_core.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_modules.h"
#include "platform/sim/sim_power.h"
#include "platform/sim/sim_processes.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_tokens.h"

namespace zk::sim {

using platform::LocalTime;

class SimMachine final : public platform::Platform {
public:
    SimMachine();
    ~SimMachine() override;

    // --- building the machine -------------------------------------------------------
    // References stay valid for the machine's life, a removed process's too.
    SimProcess& addProcess(std::uint32_t pid, std::uint32_t parentPid, std::u16string exeName);
    SimProcess& addProcess(std::uint32_t pid, std::uint32_t parentPid, std::string_view exeName);
    SimProcess* process(std::uint32_t pid);  // nullptr when unknown
    void exitProcess(std::uint32_t pid, std::uint32_t exitCode = 0);
    void removeProcess(std::uint32_t pid);
    // Runs fn on process pid under the machine lock (for changes while workers run).
    void withProcess(std::uint32_t pid, const std::function<void(SimProcess&)>& fn);
    void setCurrentProcessId(std::uint32_t pid);
    // Split into groups of at most 64, as Windows does; the process runs in the first.
    void setLogicalProcessorCount(std::uint32_t n);
    void setProcessorGroups(std::vector<std::uint32_t> sizes);  // throws for a group over 64
    void setProcessors(std::vector<ProcessorPower> entries);
    // Memory readings are returned in order; the last one repeats.
    void scriptMemoryStatus(std::vector<MemoryStatus> readings);
    // The system-wide page-fault total moves on by this much (it wraps at 2^32); the
    // processes' own counts are apart from it, as on Windows.
    void addSystemPageFaults(std::uint32_t faults);
    void setPhysicalCoreCount(std::uint32_t n);
    void setTokenElevated(bool elevated);
    // The system times move on by busy and idle time, in milliseconds of all processors.
    void addSystemTimes(std::uint64_t busyMs, std::uint64_t idleMs);

    // --- power schemes --------------------------------------------------------------
    // Balanced is active at start; it and High performance hold the four processor
    // settings (minimum and maximum state, boost mode, core parking minimum).
    void addPowerScheme(const Guid& scheme);
    Guid activePowerScheme();
    void setPowerValue(const Guid& scheme, const Guid& subgroup, const Guid& setting, PowerValue v);
    std::optional<PowerValue> powerValue(const Guid& scheme, const Guid& subgroup, const Guid& setting);
    // Reads (or writes) of one setting fail with this error in every scheme.
    void failPowerRead(const Guid& setting, std::uint32_t error);
    void failPowerWrite(const Guid& setting, std::uint32_t error);
    void setPowerStatus(SystemPowerStatus status);

    // --- services -------------------------------------------------------------------
    SimService& addService(std::u16string name, std::uint32_t state, std::uint32_t startType);
    SimService& addService(std::string_view name, std::uint32_t state, std::uint32_t startType);
    SimService* service(std::u16string_view name);  // case-insensitive; nullptr when unknown
    // Runs fn on service name under the machine lock (for changes while workers run).
    void withService(std::u16string_view name, const std::function<void(SimService&)>& fn);

    // --- failures and hooks ---------------------------------------------------------
    // Make op fail `times` times (-1: until cleared) with a Win32 error, or for native
    // routines the NTSTATUS given.
    void failOp(Op op, std::uint32_t errorOrStatus, int times = -1);
    void clearFaults();
    void hideRoutine(Routine r, bool hidden = true);
    // Called at the start of op, outside the machine lock (to block a walk, for instance).
    void setHook(Op op, std::function<void()> hook);
    void denyPrivilege(const std::string& name);   // lookup fails: ERROR_NO_SUCH_PRIVILEGE
    void notAllAssigned(const std::string& name);  // adjust succeeds with 1300
    bool privilegeEnabled(const std::string& name);

    // --- files ----------------------------------------------------------------------
    // Entries are kept by full path; a directory lists the entries one level below it.
    // References stay valid for the machine's life.
    SimFsEntry& addDirectory(std::u16string path);
    SimFsEntry& addFile(std::u16string path, std::uint64_t size);
    // A junction (folder) or a symbolic link (file) at path, leading to target.
    SimFsEntry& addLink(std::u16string path, std::u16string target, bool folder);
    SimFsEntry* fsEntry(std::u16string_view path);  // nullptr when unknown
    std::vector<PrefetchedRange> prefetches();       // every range PrefetchVirtualMemory was given

    // --- the library's own module ---------------------------------------------------
    void setOwnExport(const std::string& name, void* fn);
    void hideOwnExport(const std::string& name);
    void setOwnModuleMissing(bool missing);
    // The library's detached threads: wait for all to end (the machine does so too before
    // it goes), or count those still running.
    void joinModuleThreads();
    std::size_t moduleThreadsRunning();

    // --- files, modules and system resets of the stateless restore ------------------
    std::string fileText(std::u16string_view path);  // what was written to the file
    void setSystemMessage(std::uint32_t code, std::string text);
    void setDnsFlushResult(bool ok);
    // A module file beside the host, beside the library, or in the current directory
    // (which the library never loads from); loaded marks it loaded already.
    enum class ModuleFolder { Host, Library, Current };
    void addModuleFile(ModuleFolder folder, std::u16string_view fileName, std::map<std::string, void*> exports,
                       bool loaded = false);
    bool moduleLoaded(ModuleFolder folder, std::u16string_view fileName);

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
    platform::Processes& processes() override { return processes_; }
    platform::Tokens& tokens() override { return tokens_; }
    platform::Services& services() override { return services_; }
    platform::Power& power() override { return power_; }
    platform::System& system() override { return system_; }
    platform::Files& files() override { return files_; }
    platform::Clocks& clocks() override { return clocks_; }
    platform::Modules& modules() override { return modules_; }
    std::uint32_t lastError() override { return sim::lastError(); }
    void setLastError(std::uint32_t code) override { sim::lastError() = code; }
    bool closeHandle(HandleKind kind, RawHandle h) noexcept override;

private:
    SimCore core_;
    SimTokens tokens_;
    SimSystem system_;
    SimProcesses processes_;
    SimPower power_;
    SimClocks clocks_;
    SimModules modules_;
    SimServices services_;
    SimFiles files_{*this, core_};
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
