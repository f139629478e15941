// stutter GAME_PID [--csv FILE] [seconds]: the whole stutter chain for a running game.
// Samples, asks QTM_GetStutterRootCause every 100 ms and prints every log channel; with
// --csv, records each of those moments as a timeline row. It acts for real on the
// offenders it finds, as a host would.

#include <windows.h>

#include <cstdio>

#include "command.h"
#include "library.h"
#include "timeline_file.h"
#include "zelkor.h"

namespace {

int runStutter(const zkctl::Args& given) {
    zkctl::Args args = given;
    std::optional<std::wstring> csv;
    if (!zkctl::takeCsvOption(args, "stutter", csv)) return 2;
    unsigned long gamePid = 0, seconds = 30;
    if (args.empty() || args.size() > 2 || !zkctl::parseUnsigned(args[0], gamePid) ||
        (args.size() > 1 && (!zkctl::parseUnsigned(args[1], seconds) || seconds == 0))) {
        std::fprintf(stderr, "stutter: GAME_PID [--csv FILE] [seconds], both whole numbers, seconds above 0\n");
        return 2;
    }
    // Samples and recoveries around a game that is not there would act on the machine for
    // nothing.
    if (!zkctl::processIsRunning(gamePid)) {
        std::fprintf(stderr, "stutter: no running process has pid %lu\n", gamePid);
        return 2;
    }
    std::optional<zkctl::TimelineFile> timeline;
    if (csv && !timeline.emplace(*csv, true).ok()) {
        std::fprintf(stderr, "stutter: cannot write %ls\n", csv->c_str());
        return 1;
    }
    auto setQtmLog = ZK_LOAD(QTM_SetLogCallback);
    auto setPfLog = ZK_LOAD(PF_SetLogCallback);
    auto setRecoveryLog = ZK_LOAD(QTM_Stutter_SetLogCallback);
    auto setLevel = ZK_LOAD(QTM_Stutter_SetMinLogLevel);
    auto setRecovery = ZK_LOAD(QTM_SetRecoveryConfig);
    auto recoveryMetrics = ZK_LOAD(QTM_GetRecoveryMetrics);
    auto start = ZK_LOAD(QTM_Start);
    auto stop = ZK_LOAD(QTM_Stop);
    auto rootCause = ZK_LOAD(QTM_GetStutterRootCause);
    auto metrics = ZK_LOAD(QTM_GetMetrics);
    if (!metrics || !setQtmLog || !setPfLog || !setRecoveryLog || !setLevel || !setRecovery || !recoveryMetrics || !start ||
        !stop || !rootCause)
        return 1;

    setQtmLog(zkctl::printNarrowLine);
    setPfLog(zkctl::printNarrowLine);
    setRecoveryLog(zkctl::printNarrowLine);
    setLevel(0);
    // A host's usual settings: soft from 3 points, hard from 10, 30 s / 60 s apart.
    const QtmRecoveryConfig cfg{3, 10, 10, 15, 30.0, 60.0};
    setRecovery(&cfg);
    if (start() != 1) {
        std::fprintf(stderr, "stutter: the sampling worker could not start\n");
        return 1;
    }
    zktl::runPaced(zkctl::systemPaceClock(), seconds * 1000ull, [&](std::uint64_t elapsedMs) {
        MEMORYSTATUSEX ms{};
        ms.dwLength = sizeof ms;
        const double ramPct = GlobalMemoryStatusEx(&ms) ? ms.dwMemoryLoad : 0.0;
        PfRootCause out{};
        uint32_t rec = 0;
        const int32_t r = rootCause(static_cast<uint32_t>(gamePid), 0.55, 2.0, ramPct, 0.0, 0.0, 0.0, 1.0, &out, &rec);
        if (r == 1) {
            const double score = out.score;
            std::printf("offender pid %u %s category %d score %.1f, recovery %s\n", out.pid, out.name, out.category,
                        score, zktl::recoveryWord(rec).data());
        } else if (r < 0 && r != -2) {
            std::printf("root cause: %d\n", r);
        }
        std::fflush(stdout);
        if (timeline) {
            QtmMetrics m{};
            metrics(&m);
            timeline->write(elapsedMs / 1000.0, m,
                            r == 1 ? std::optional(zkctl::offenderEvent(out, rec)) : std::nullopt);
        }
        return true;
    });
    stop();
    QtmRecoveryMetrics m{};
    recoveryMetrics(&m);
    std::printf("recoveries soft %llu hard %llu; surgical L1 %llu L2 %llu L3 %llu failures %llu\n",
                static_cast<unsigned long long>(m.softRecoveries), static_cast<unsigned long long>(m.hardRecoveries),
                static_cast<unsigned long long>(m.surgicalL1), static_cast<unsigned long long>(m.surgicalL2),
                static_cast<unsigned long long>(m.surgicalL3), static_cast<unsigned long long>(m.surgicalFailures));
    setQtmLog(nullptr);
    setPfLog(nullptr);
    setRecoveryLog(nullptr);
    return 0;
}

}  // namespace

ZKCTL_COMMAND(stutter,
              "stutter GAME_PID [--csv FILE] [secs]  find and recover stutter offenders (acts on them); --csv records the timeline",
              runStutter);
