// The sampler's hot path: one analysis step at window 200, and the platform calls one
// tick makes with 300 processes.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "stutter/sampler.h"
#include "stutter/window_stats.h"

namespace {

using namespace zk;

// Copy, sort, statistics, percentiles and risk, as one tick does after its sample.
void BM_AnalysisStepWindow200(benchmark::State& state) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> d(0.9, 4.0);
    std::vector<double> window(200);
    for (auto& x : window) x = d(rng);
    std::vector<double> sorted;
    sorted.reserve(200);
    for (auto _ : state) {
        sorted.assign(window.begin(), window.end());
        std::sort(sorted.begin(), sorted.end());
        const auto s = stutter::analyseSorted(sorted.data(), sorted.size(), 2.5, 3.0);
        benchmark::DoNotOptimize(stutter::stutterRisk(s.p99Ms, s.jitterMs, 120, s.spikes, false));
        std::rotate(window.begin(), window.begin() + 1, window.end());
    }
}
BENCHMARK(BM_AnalysisStepWindow200);

// A whole tick over a simulated machine of 300 processes; reports platform calls.
void BM_TickWith300Processes(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    for (std::uint32_t i = 0; i < 299; ++i) machine.addProcess(4000 + i, 4, "bg.exe");
    stutter::Sampler s;
    s.beginRun();
    for (int i = 0; i < 200; ++i) s.tick();
    machine.resetCallCounts();
    std::uint64_t ticks = 0;
    for (auto _ : state) {
        s.tick();
        ++ticks;
    }
    const double calls = static_cast<double>(machine.totalCalls()) / static_cast<double>(ticks);
    state.counters["platform_calls_per_tick"] = calls;
    state.counters["platform_calls_per_process"] = calls / 300.0;
}
BENCHMARK(BM_TickWith300Processes);

}  // namespace

BENCHMARK_MAIN();
