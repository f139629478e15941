// The inverse layout over a simulated 8-processor machine of 300 processes: the platform
// calls and handles per process, the snapshots per pass; and the cost of an offender move
// and of a rate-limited refusal, the calls the host and the recovery engine make most.

#include <benchmark/benchmark.h>

#include <string>

#include "affinity/affinity_module.h"
#include "platform/sim/sim_machine.h"
#include "zelkor.h"

namespace {

using namespace zk;

constexpr std::uint32_t kProcesses = 300;
constexpr std::uint32_t kGame = 4000;

void buildMachine(sim::SimMachine& machine) {
    machine.setLogicalProcessorCount(8);
    machine.advanceMs(1000);
    machine.addProcess(kGame, 4, "game.exe");
    for (std::uint32_t i = 1; i < kProcesses - 1; ++i)
        machine.addProcess(kGame + i, 4, i % 5 == 0 ? std::string("svchost.exe") : "app" + std::to_string(i) + ".exe");
    affinity::affinity().resetForTests();
    AffinityConfig c{30, 0, 250, 1, 300, 5000, 0, 100};  // no limiter between passes
    Zelkor_Affinity_SetConfigC(&c);
}

void BM_InverseLayoutOver300Processes(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    buildMachine(machine);
    std::uint64_t passes = 0, calls = 0, snapshots = 0, opens = 0;
    for (auto _ : state) {
        state.PauseTiming();
        machine.resetCallCounts();
        state.ResumeTiming();

        benchmark::DoNotOptimize(Zelkor_Affinity_ApplyInverseForPid(kGame));

        state.PauseTiming();
        calls += machine.totalCalls();
        snapshots += machine.callCount(sim::Op::CreateProcessSnapshot);
        opens += machine.callCount(sim::Op::OpenProcess);
        ++passes;
        state.ResumeTiming();
    }
    const auto perPass = [&](std::uint64_t n) { return static_cast<double>(n) / static_cast<double>(passes); };
    state.counters["calls/process"] = perPass(calls) / kProcesses;
    state.counters["snapshots/pass"] = perPass(snapshots);
    state.counters["opens/pass"] = perPass(opens);
    state.counters["handles left"] = static_cast<double>(machine.openHandleCount());
}
BENCHMARK(BM_InverseLayoutOver300Processes)->Iterations(200)->Unit(benchmark::kMicrosecond);

void BM_OffenderMove(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    buildMachine(machine);
    Zelkor_Affinity_ApplyInverseForPid(kGame);
    std::uint64_t moves = 0, calls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        machine.resetCallCounts();
        state.ResumeTiming();
        benchmark::DoNotOptimize(Zelkor_Affinity_ApplyInverseForOffenderPid(kGame + 7));
        state.PauseTiming();
        calls += machine.totalCalls();
        ++moves;
        state.ResumeTiming();
    }
    state.counters["calls/move"] = static_cast<double>(calls) / static_cast<double>(moves);
}
BENCHMARK(BM_OffenderMove)->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_RateLimitedRefusal(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    buildMachine(machine);
    AffinityConfig c{30, 0, 250, 1, 300, 5000, 1, 100};
    Zelkor_Affinity_SetConfigC(&c);
    Zelkor_Affinity_RefreshInverse();
    for (auto _ : state) benchmark::DoNotOptimize(Zelkor_Affinity_RefreshInverse());
    Zelkor_Affinity_ClearSecurityEvents();
}
BENCHMARK(BM_RateLimitedRefusal);

}  // namespace
