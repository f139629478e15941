// demo [--csv FILE] [seconds]: the scripted stutter a newcomer runs first. A synthetic
// game and a background CPU hog are started; the library samples, is asked for the
// stutter's root cause until it names the hog, throttles it, and the demo restores the hog
// and ends everything it started. With --csv the timeline is recorded, and goes on for a
// few seconds after the recovery to show what the risk did next.

#include <windows.h>

#include <cstdio>

#include "command.h"
#include "helper_launch.h"
#include "library.h"
#include "timeline_file.h"
#include "zelkor.h"

namespace {

const char* causeWord(int32_t category) {
    switch (category) {
        case 1: return "CPU";
        case 2: return "disk I/O";
        case 3: return "memory";
        case 4: return "page faults";
        default: return "unknown";
    }
}

const char* className(DWORD cls) {
    switch (cls) {
        case IDLE_PRIORITY_CLASS: return "idle (0x40)";
        case BELOW_NORMAL_PRIORITY_CLASS: return "below normal (0x4000)";
        case NORMAL_PRIORITY_CLASS: return "normal (0x20)";
        case ABOVE_NORMAL_PRIORITY_CLASS: return "above normal (0x8000)";
        case HIGH_PRIORITY_CLASS: return "high (0x80)";
        default: return "unreadable";
    }
}

void printClass(const char* when, HANDLE process) {
    std::printf("hog priority class %s: %s\n", when, className(GetPriorityClass(process)));
    std::fflush(stdout);
}

double memoryLoad() {
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    return GlobalMemoryStatusEx(&ms) ? static_cast<double>(ms.dwMemoryLoad) : 0.0;
}

constexpr std::uint64_t kAfterRecoveryMs = 8000;

int runDemo(const zkctl::Args& given) {
    zkctl::Args args = given;
    std::optional<std::wstring> csv;
    if (!zkctl::takeCsvOption(args, "demo", csv)) return 2;
    unsigned long seconds = 60;
    if (args.size() > 1 || (!args.empty() && (!zkctl::parseUnsigned(args[0], seconds) || seconds == 0))) {
        std::fprintf(stderr, "demo: [--csv FILE] [seconds], seconds a whole number above 0\n");
        return 2;
    }
    std::optional<zkctl::TimelineFile> timeline;
    if (csv && !timeline.emplace(*csv, true).ok()) {
        std::fprintf(stderr, "demo: cannot write %ls\n", csv->c_str());
        return 1;
    }
    auto setQtmLog = ZK_LOAD(QTM_SetLogCallback);
    auto setPfLog = ZK_LOAD(PF_SetLogCallback);
    auto setRecoveryLog = ZK_LOAD(QTM_Stutter_SetLogCallback);
    auto setRecoveryLevel = ZK_LOAD(QTM_Stutter_SetMinLogLevel);
    auto setThrottleLog = ZK_LOAD(Zelkor_Throttle_SetLogCallbackW);
    auto getConfig = ZK_LOAD(QTM_GetConfig);
    auto setConfig = ZK_LOAD(QTM_SetConfig);
    auto getMetrics = ZK_LOAD(QTM_GetMetrics);
    auto start = ZK_LOAD(QTM_Start);
    auto stop = ZK_LOAD(QTM_Stop);
    auto rootCause = ZK_LOAD(QTM_GetStutterRootCause);
    auto restore = ZK_LOAD(Zelkor_Restore_OffenderW);
    if (!setQtmLog || !setPfLog || !setRecoveryLog || !setRecoveryLevel || !setThrottleLog || !getConfig ||
        !setConfig || !getMetrics || !start || !stop || !rootCause || !restore)
        return 1;

    std::printf("Zelkor demo: a synthetic game (game.exe) and a background CPU hog (hog.exe).\n"
                "The library samples stutter, asks the profiler who is to blame, and recovers.\n\n");
    auto game = zkhelper::start(L"game.exe", L"sleep", false);
    // The hog is nobody's child, like any background program; it keeps every processor
    // busy and holds 1 GiB, as a real hog would (a background process needs well over
    // one core's share before it alone is blamed).
    auto hog = zkhelper::start(L"hog.exe", L"hog", true);
    if (!game || !hog) {
        std::fprintf(stderr, "demo: could not start the helper processes (is zk_helper.exe beside zelkorctl?)\n");
        return 1;
    }
    std::printf("game.exe pid %lu, hog.exe pid %lu\n", game->pid, hog->pid);
    printClass("before", hog->process);

    setQtmLog(zkctl::printNarrowLine);
    setPfLog(zkctl::printNarrowLine);
    setRecoveryLog(zkctl::printNarrowLine);
    setRecoveryLevel(0);
    setThrottleLog(zkctl::printWideLine);

    // A 3 ms pause makes every scheduling delay show in the p99.
    QtmConfig cfg{};
    getConfig(&cfg);
    cfg.sampleIntervalUs = 3000;
    setConfig(&cfg);
    if (start() != 1) {
        std::fprintf(stderr, "demo: the sampling worker could not start\n");
        return 1;
    }
    std::printf("sampling; the profiler compares two walks 10 s apart, so the verdict takes ~10 s\n");

    PfRootCause verdict{};
    uint32_t recovery = 0;
    bool named = false;
    std::uint64_t namedAtMs = 0;
    // Every 100 ms a timeline row; every 500 ms the root-cause question.
    const std::uint64_t limitMs = seconds * 1000ull + (timeline ? kAfterRecoveryMs : 0);
    zktl::runPaced(zkctl::systemPaceClock(), limitMs, [&](std::uint64_t ms) {
        QtmMetrics m{};
        getMetrics(&m);
        std::optional<zktl::Event> event;
        const std::uint64_t slot = ms / zktl::kRowPeriodMs;
        if (!named && slot % 5 == 0) {
            PfRootCause out{};
            uint32_t rec = 0;
            const int32_t r = rootCause(game->pid, 0.30, 2.0, memoryLoad(), 0.0, 0.0, 0.0, 1.0, &out, &rec);
            if (r == 1) event = zkctl::offenderEvent(out, rec);
            if (r == 1 && out.pid == hog->pid) {
                verdict = out;
                recovery = rec;
                named = true;
                namedAtMs = ms;
            } else if (slot % 20 == 0) {
                std::printf("t=%4.1fs risk %.3f p99 %.2f ms: root cause %d\n", ms / 1000.0, m.risk, m.p99Ms, r);
                std::fflush(stdout);
            }
        }
        if (timeline) timeline->write(ms / 1000.0, m, event);
        if (!named) return ms < seconds * 1000ull;
        return timeline && ms < namedAtMs + kAfterRecoveryMs;
    });
    stop();
    setQtmLog(nullptr);
    setPfLog(nullptr);
    setRecoveryLog(nullptr);

    int status = 0;
    if (named) {
        const double score = verdict.score, cpu = verdict.cpuPct, ram = verdict.ramMB;
        std::printf("\nverdict: pid %u (%s), cause %s, score %.1f, CPU %.1f %%, RAM %.1f MB, recovery %s\n",
                    verdict.pid, verdict.name, causeWord(verdict.category), score, cpu, ram,
                    recovery == 2 ? "hard" : recovery == 1 ? "soft" : "none");
        printClass("after the recovery", hog->process);
        uint32_t err = 0;
        const int32_t restored = restore(hog->pid, 1, nullptr, &err);
        std::printf("Zelkor_Restore_OffenderW: %d (last error %u)\n", restored, err);
        printClass("after the restore", hog->process);
    } else {
        std::printf("\nthe hog was not named within %lu s\n", seconds);
        status = 1;
    }
    setThrottleLog(nullptr);
    hog.reset();
    game.reset();
    std::printf("helper processes ended\n");
    return status;
}

}  // namespace

ZKCTL_COMMAND(demo, "demo [--csv FILE] [secs]  scripted stutter: a game, a CPU hog, the verdict and recovery", runDemo);
