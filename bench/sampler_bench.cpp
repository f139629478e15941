// The sampler's hot path: one tick at window 200 over simulated machines of 30 and of 300
// processes, in CPU time and platform calls; the two must not differ, since nothing in a
// tick grows with the process count. The walk over every process, which a tick falls back
// to only when the system-wide page-fault query is missing, is measured beside it.

#include <benchmark/benchmark.h>

#include <random>

#include "platform/sim/sim_machine.h"
#include "stutter/sampler.h"

namespace {

using namespace zk;

void populate(sim::SimMachine& machine, std::int64_t processes) {
    for (std::int64_t i = 1; i < processes; ++i) machine.addProcess(4000 + static_cast<std::uint32_t>(i), 4, "bg.exe");
}

// A sample after each tick's sleep: window upkeep, statistics, page faults, thermal and
// risk, with the window full at 200.
void runTicks(benchmark::State& state, bool systemQuery) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    populate(machine, state.range(0));
    if (!systemQuery) machine.hideRoutine(platform::Routine::NtQuerySystemInformation);
    stutter::Sampler s;
    s.beginRun();
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> sample(0.9, 4.0);
    for (int i = 0; i < 200; ++i) s.processSample(sample(rng));
    machine.resetCallCounts();
    std::uint64_t ticks = 0;
    for (auto _ : state) {
        s.processSample(sample(rng));
        ++ticks;
    }
    const double calls = static_cast<double>(machine.totalCalls()) / static_cast<double>(ticks);
    state.counters["platform_calls_per_tick"] = calls;
    state.counters["platform_calls_per_process"] = calls / static_cast<double>(state.range(0));
}

void BM_TickWindow200(benchmark::State& state) { runTicks(state, true); }
BENCHMARK(BM_TickWindow200)->Arg(30)->Arg(300);

void BM_TickWindow200WalkFallback(benchmark::State& state) { runTicks(state, false); }
BENCHMARK(BM_TickWindow200WalkFallback)->Arg(30)->Arg(300);

}  // namespace

BENCHMARK_MAIN();
