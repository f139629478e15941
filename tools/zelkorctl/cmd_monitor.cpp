// monitor [seconds]: samples and prints the stutter metrics once a second.

#include <cstdio>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

int runMonitor(const zkctl::Args& args) {
    unsigned long seconds = 10;
    if (!args.empty() && !zkctl::parseUnsigned(args[0], seconds)) {
        std::fprintf(stderr, "monitor: seconds must be a whole number\n");
        return 2;
    }
    auto setLog = ZK_LOAD(QTM_SetLogCallback);
    auto start = ZK_LOAD(QTM_Start);
    auto stop = ZK_LOAD(QTM_Stop);
    auto metrics = ZK_LOAD(QTM_GetMetrics);
    if (!setLog || !start || !stop || !metrics) return 1;

    setLog(zkctl::printNarrowLine);
    if (start() != 1) {
        std::fprintf(stderr, "monitor: the sampling worker could not start\n");
        return 1;
    }
    std::printf("%4s %6s %8s %8s %8s %9s %6s %7s %7s\n", "t", "risk", "mean", "p1", "p99", "jitterEMA",
                "spikes", "hardPF", "thermal");
    for (unsigned long t = 1; t <= seconds; ++t) {
        Sleep(1000);
        QtmMetrics m{};
        metrics(&m);
        std::printf("%3lus %6.3f %6.3fms %6.3fms %6.3fms %7.3fms %6u %7u %7u\n", t, m.risk, m.meanMs, m.p1Ms,
                    m.p99Ms, m.jitterEmaMs, m.spikes, m.hardPF, m.thermal);
        std::fflush(stdout);
    }
    stop();
    setLog(nullptr);
    return 0;
}

}  // namespace

ZKCTL_COMMAND(monitor, "monitor [seconds]        live stutter risk and metrics, one line a second", runMonitor);
