// Background cleanup and the stateless restore over a simulated machine: the platform
// calls each pass makes (the cleanup opens only the programs it ends), and the cost of a
// restore log line.

#include <benchmark/benchmark.h>

#include <string>

#include "common/reset_registry.h"
#include "platform/sim/sim_machine.h"
#include "restore/restore_log.h"
#include "zelkor.h"

namespace {

using namespace zk;

// 200 processes, none of them a kill candidate: the walk reads rows and opens nothing.
void BM_KillWalkWithoutCandidates(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    common::resetAllModules();
    for (std::uint32_t pid = 100; pid < 300; ++pid)
        machine.addProcess(pid, 1, pid % 3 ? "notepad.exe" : "discord.exe");
    Zelkor_KillBackgroundProcessesW(1, 1);
    std::uint64_t walks = 0, calls = 0, opens = 0;
    for (auto _ : state) {
        machine.resetCallCounts();
        benchmark::DoNotOptimize(Zelkor_KillBackgroundProcessesW(1, 1));
        calls += machine.totalCalls();
        opens += machine.callCount(sim::Op::OpenProcess);
        ++walks;
    }
    state.counters["platform_calls_per_walk"] = static_cast<double>(calls) / static_cast<double>(walks);
    state.counters["opens_per_walk"] = static_cast<double>(opens) / static_cast<double>(walks);
    common::resetAllModules();
}
BENCHMARK(BM_KillWalkWithoutCandidates);

// A restore over 50 user processes and the 24 core services, without starting them.
void BM_StatelessRestore(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    common::resetAllModules();
    machine.addDirectory(u"C:\\ProgramData");
    for (std::uint32_t pid = 100; pid < 150; ++pid) machine.addProcess(pid, 1, "app.exe");
    std::uint64_t restores = 0, calls = 0, blockedNs = 0;
    for (auto _ : state) {
        machine.resetCallCounts();
        const std::uint64_t t0 = machine.nowNs();
        benchmark::DoNotOptimize(Zelkor_Stateless_System_Restore(0, 1));
        Zelkor_StatelessRestore_ClearLogs();
        calls += machine.totalCalls();
        blockedNs += machine.nowNs() - t0;
        ++restores;
    }
    state.counters["platform_calls_per_restore"] = static_cast<double>(calls) / static_cast<double>(restores);
    state.counters["simulated_ms_per_restore"] = static_cast<double>(blockedNs) / 1e6 / static_cast<double>(restores);
    common::resetAllModules();
}
BENCHMARK(BM_StatelessRestore);

// One line to the file, the debugger output and the queue, then polled.
void BM_RestoreLogLine(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    common::resetAllModules();
    machine.addDirectory(u"C:\\ProgramData");
    char buf[256];
    for (auto _ : state) {
        restore::StatelessLog("SUCCESS: Power plan restored to Balanced");
        benchmark::DoNotOptimize(Zelkor_StatelessRestore_PollLogA(buf, sizeof buf));
    }
    common::resetAllModules();
}
BENCHMARK(BM_RestoreLogLine)->Iterations(20000);

}  // namespace
