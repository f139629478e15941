// monitor [--csv FILE] [seconds]: samples and prints the stutter metrics once a second;
// with --csv, also records a timeline row every 100 ms.

#include <cstdio>

#include "command.h"
#include "library.h"
#include "timeline_file.h"
#include "zelkor.h"

namespace {

int runMonitor(const zkctl::Args& given) {
    zkctl::Args args = given;
    std::optional<std::wstring> csv;
    if (!zkctl::takeCsvOption(args, "monitor", csv)) return 2;
    unsigned long seconds = 10;
    if (args.size() > 1 || (!args.empty() && (!zkctl::parseUnsigned(args[0], seconds) || seconds == 0))) {
        std::fprintf(stderr, "monitor: [--csv FILE] [seconds], seconds a whole number above 0\n");
        return 2;
    }
    std::optional<zkctl::TimelineFile> timeline;
    if (csv && !timeline.emplace(*csv, false).ok()) {
        std::fprintf(stderr, "monitor: cannot write %ls\n", csv->c_str());
        return 1;
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
    zktl::runPaced(zkctl::systemPaceClock(), seconds * 1000ull, [&](std::uint64_t ms) {
        QtmMetrics m{};
        metrics(&m);
        if (timeline) timeline->write(ms / 1000.0, m);
        static std::uint64_t printed = 0;
        if (ms / 1000 > printed) {
            printed = ms / 1000;
            std::printf("%3llus %6.3f %6.3fms %6.3fms %6.3fms %7.3fms %6u %7u %7u\n",
                        static_cast<unsigned long long>(printed), m.risk, m.meanMs, m.p1Ms, m.p99Ms, m.jitterEmaMs,
                        m.spikes, m.hardPF, m.thermal);
            std::fflush(stdout);
        }
        return true;
    });
    stop();
    setLog(nullptr);
    return 0;
}

}  // namespace

ZKCTL_COMMAND(monitor, "monitor [--csv FILE] [secs]  live stutter risk and metrics; --csv records a row every 100 ms",
              runMonitor);
