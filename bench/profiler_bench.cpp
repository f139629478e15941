// One offender-profiler walk over a simulated machine of 300 processes, as a severe
// stutter asks for it; reports the platform calls it makes per process.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/sim/sim_machine.h"
#include "stutter/profiler.h"
#include "zelkor.h"

namespace {

using namespace zk;

constexpr std::uint32_t kProcesses = 300;
constexpr std::uint32_t kGame = 4000;

void BM_ProfilerWalkOver300Processes(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    machine.setLogicalProcessorCount(8);
    machine.addProcess(kGame, 4, "game.exe");
    for (std::uint32_t i = 1; i < kProcesses; ++i) machine.addProcess(kGame + i, 4, "app" + std::to_string(i) + ".exe");
    stutter::profiler().resetForTests();
    PfRootCause out;
    std::uint64_t walks = 0, calls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        machine.advanceMs(10000);  // one walk per ten seconds
        machine.resetCallCounts();
        state.ResumeTiming();

        benchmark::DoNotOptimize(PF_GetRootCause(kGame, 0.95, 5.0, &out));

        state.PauseTiming();
        calls += machine.totalCalls();
        ++walks;
        state.ResumeTiming();
    }
    stutter::profiler().resetForTests();
    const double perWalk = static_cast<double>(calls) / static_cast<double>(walks);
    state.counters["platform_calls_per_walk"] = perWalk;
    state.counters["platform_calls_per_process"] = perWalk / kProcesses;
}
BENCHMARK(BM_ProfilerWalkOver300Processes)->Unit(benchmark::kMicrosecond);

}  // namespace
