// Soft demotion passes over a simulated machine of 300 processes; reports the platform
// calls each pass makes per process, for a pass that rescans the list and one that reuses
// it, with a tenth of the processes demoted every pass.

#include <benchmark/benchmark.h>

#include <string>

#include "common/reset_registry.h"
#include "platform/sim/sim_machine.h"
#include "softdemote/soft_demote_engine.h"
#include "zelkor.h"

namespace {

using namespace zk;

constexpr std::uint32_t kProcesses = 300;
constexpr std::uint32_t kGame = 4000;

void ZK_CALL quiet(const char*) {}

void passes(benchmark::State& state, bool rescan) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    common::resetAllModules();
    SetSoftDemoteLogCallback(&quiet);
    machine.setLogicalProcessorCount(8);
    // One in five is protected, one in ten holds 2 GiB and is demoted every pass.
    machine.addProcess(kGame, 4, "game.exe");
    for (std::uint32_t i = 1; i < kProcesses - 1; ++i) {
        sim::SimProcess& p = machine.addProcess(
            kGame + i, 4, i % 5 == 0 ? std::string("svchost.exe") : "app" + std::to_string(i % 40) + ".exe");
        if (i % 10 == 1) p.memory.workingSetSize = 2048ull << 20;
    }
    softdemote::SoftDemoteEngine engine("mid", kGame, 0, nullptr, 0, 0, false);
    engine.runDemotionPass();
    std::uint64_t count = 0, calls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        machine.advanceMs(rescan ? 2000 : 1);
        machine.addSystemTimes(100, 900);
        machine.resetCallCounts();
        state.ResumeTiming();

        benchmark::DoNotOptimize(engine.runDemotionPass());

        state.PauseTiming();
        calls += machine.totalCalls();
        ++count;
        state.ResumeTiming();
    }
    const double perPass = static_cast<double>(calls) / static_cast<double>(count);
    state.counters["platform_calls_per_pass"] = perPass;
    state.counters["platform_calls_per_process"] = perPass / kProcesses;
    SetSoftDemoteLogCallback(nullptr);
}

void BM_SoftDemotePassWithScanOver300Processes(benchmark::State& state) { passes(state, true); }
void BM_SoftDemotePassWithoutScanOver300Processes(benchmark::State& state) { passes(state, false); }
// The sim keeps every change it records; a bounded run keeps that small.
BENCHMARK(BM_SoftDemotePassWithScanOver300Processes)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SoftDemotePassWithoutScanOver300Processes)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
