// One bulk I/O-tuner pass over a simulated machine of 300 processes; reports the platform
// calls it makes per process and the process snapshots it takes per pass.

#include <benchmark/benchmark.h>

#include <string>

#include "iotuner/tuner/io_tuner.h"
#include "platform/sim/sim_machine.h"
#include "zelkor.h"

namespace {

using namespace zk;

constexpr std::uint32_t kProcesses = 300;
constexpr std::uint32_t kGame = 4000;

void BM_BulkPassOver300Processes(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    // One in five is a protected system process, as on a typical desktop.
    machine.addProcess(kGame, 4, "game.exe");
    for (std::uint32_t i = 1; i < kProcesses - 1; ++i)
        machine.addProcess(kGame + i, 4, i % 5 == 0 ? std::string("svchost.exe") : "app" + std::to_string(i) + ".exe");
    iotuner::tuner().resetForTests();
    Zelkor_IOTuner_ApplyInverseIo(kGame, 0);  // the one-time privilege set-up
    std::uint64_t passes = 0, calls = 0, snapshots = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::uint32_t i = 1; i < kProcesses - 1; ++i)
            machine.withProcess(kGame + i, [](sim::SimProcess& p) {
                p.priorityClass = win::NORMAL_PRIORITY_CLASS;
                p.ioPriority = 2;
            });
        iotuner::tuner().records.OriginalIoPriority.clear();
        iotuner::tuner().records.OriginalCpuPriority.clear();
        machine.advanceMs(500);
        machine.resetCallCounts();
        state.ResumeTiming();

        benchmark::DoNotOptimize(Zelkor_IOTuner_ApplyInverseIo(kGame, 0));

        state.PauseTiming();
        calls += machine.totalCalls();
        snapshots += machine.callCount(sim::Op::CreateProcessSnapshot);
        ++passes;
        state.ResumeTiming();
    }
    const double perPass = static_cast<double>(calls) / static_cast<double>(passes);
    state.counters["platform_calls_per_pass"] = perPass;
    state.counters["platform_calls_per_process"] = perPass / kProcesses;
    state.counters["snapshots_per_pass"] = static_cast<double>(snapshots) / static_cast<double>(passes);
}
// The sim keeps every log line it was given; a bounded run keeps that small.
BENCHMARK(BM_BulkPassOver300Processes)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
