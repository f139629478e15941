// The two memory cleanings over a simulated machine: the platform calls each makes, the
// memory readings and purges among them, and the simulated time each blocks its caller.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "memory/memory_relief.h"
#include "platform/sim/sim_machine.h"
#include "zelkor.h"

namespace {

using namespace zk;

void measureCleaning(benchmark::State& state, double (*clean)()) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    memory::memoryRelief().resetForTests();
    clean();  // the one-time privilege and routine set-up
    std::uint64_t cleanings = 0, calls = 0, readings = 0, purges = 0, blockedNs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        machine.resetCallCounts();
        const std::uint64_t start = machine.nowNs();
        state.ResumeTiming();

        benchmark::DoNotOptimize(clean());

        state.PauseTiming();
        calls += machine.totalCalls();
        readings += machine.callCount(sim::Op::GlobalMemoryStatus);
        purges += machine.callCount(sim::Op::NtSetSystemInformation);
        blockedNs += machine.nowNs() - start;
        ++cleanings;
        state.ResumeTiming();
    }
    const auto per = [&](std::uint64_t total) { return static_cast<double>(total) / static_cast<double>(cleanings); };
    state.counters["platform_calls_per_cleaning"] = per(calls);
    state.counters["memory_readings_per_cleaning"] = per(readings);
    state.counters["purges_per_cleaning"] = per(purges);
    state.counters["blocked_ms_per_cleaning"] = per(blockedNs) / 1e6;
    memory::memoryRelief().resetForTests();
}

void BM_ExtremeCleanAtHeavyLoad(benchmark::State& state) {
    measureCleaning(state, [] { return extreme_memory_clean(0, 97.0, nullptr); });
}
void BM_ExtremeCleanAtLightLoad(benchmark::State& state) {
    measureCleaning(state, [] { return extreme_memory_clean(0, 80.0, nullptr); });
}
void BM_TrimWithoutExclusionTest(benchmark::State& state) {
    measureCleaning(state, [] { return trim_process_working_set(0); });
}
// The sim keeps every change it was asked for; a bounded run keeps that small.
BENCHMARK(BM_ExtremeCleanAtHeavyLoad)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExtremeCleanAtLightLoad)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TrimWithoutExclusionTest)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
