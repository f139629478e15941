// The warmup over a simulated tree of 10 folders of 100 files: the platform calls per file
// warmed, and the prefetch calls per range (one each).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "disk/warmup.h"
#include "platform/sim/sim_machine.h"
#include "zelkor.h"

namespace {

using namespace zk;

void BM_WarmupTenFoldersOfHundred(benchmark::State& state) {
    sim::SimMachine machine;
    sim::ScopedMachine scope(machine);
    machine.addDirectory(u"C:\\g");
    for (int d = 0; d < 10; ++d) {
        const std::string dir = "C:\\g\\d" + std::to_string(d);
        machine.addDirectory(sim::u16(dir));
        for (int f = 0; f < 100; ++f) machine.addFile(sim::u16(dir + "\\f" + std::to_string(f)), 4096u * (f % 32 + 1));
    }
    std::uint64_t warmed = 0, calls = 0, prefetches = 0, ranges = 0;
    for (auto _ : state) {
        state.PauseTiming();
        machine.resetCallCounts();
        state.ResumeTiming();

        warmed += ZelkorWarmupGameFolder(u"C:\\g");

        state.PauseTiming();
        calls += machine.totalCalls();
        prefetches += machine.callCount(sim::Op::PrefetchVirtualMemory);
        ranges += 10 * disk::splitRanges(100).size();
        state.ResumeTiming();
    }
    state.counters["platform_calls_per_file"] = static_cast<double>(calls) / static_cast<double>(warmed);
    state.counters["prefetch_calls_per_range"] = static_cast<double>(prefetches) / static_cast<double>(ranges);
    ZelkorShutdown();
}
BENCHMARK(BM_WarmupTenFoldersOfHundred)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
