// demo [--csv FILE] [seconds]: the scripted stutter a newcomer runs first. A synthetic
// game and a background CPU hog are started; the library samples and is asked for the
// stutter's root cause until it names the hog (within `seconds`), and recovers. Then the
// demo does what a host would: when the risk stays at or above the trigger for 3 s after
// the recovery, it quarantines the hog. It prints what each action did to the p99 and the
// risk, restores the hog and ends everything it started. With --csv the timeline goes to
// FILE, every action marked.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "helper_launch.h"
#include "library.h"
#include "timeline_effect.h"
#include "timeline_file.h"
#include "zelkor.h"

namespace {

// The host's stutter trigger, passed to the root-cause question and used for escalation.
constexpr double kRiskTrigger = 0.30, kP99TriggerMs = 2.0;
// How long after the recovery the demo waits for the risk to settle (3 s at or above the
// trigger, or 3 s below it), and how long it records after its last action.
constexpr std::uint64_t kWatchMs = 30000, kAfterActionMs = 8000;

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

void printHog(const char* when, HANDLE process) {
    DWORD_PTR mask = 0, system = 0;
    const bool masks = GetProcessAffinityMask(process, &mask, &system);
    std::printf("hog %s: priority class %s, affinity mask 0x%llx\n", when, className(GetPriorityClass(process)),
                masks ? static_cast<unsigned long long>(mask) : 0ull);
    std::fflush(stdout);
}

double memoryLoad() {
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    return GlobalMemoryStatusEx(&ms) ? static_cast<double>(ms.dwMemoryLoad) : 0.0;
}

bool underWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

struct Action {
    std::string what;  // "hard recovery", "quarantine"
    double atS;
};

void printEffects(const std::vector<zktl::Row>& rows, const std::vector<Action>& actions) {
    if (actions.empty()) return;
    std::printf("\nwhat each action did (means over the 3 s before it and the 3 s from 0.5 s after it):\n");
    for (const Action& a : actions) {
        const zktl::Effect e = zktl::effectAt(rows, a.atS);
        std::printf("  %s at %.1f s: p99 %.2f -> %.2f ms (ratio %.2f), risk %.3f -> %.3f (ratio %.2f)\n",
                    a.what.c_str(), a.atS, e.before.p99Ms, e.after.p99Ms, zktl::ratio(e.after.p99Ms, e.before.p99Ms),
                    e.before.risk, e.after.risk, zktl::ratio(e.after.risk, e.before.risk));
    }
}

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
    auto getMetrics = ZK_LOAD(QTM_GetMetrics);
    auto start = ZK_LOAD(QTM_Start);
    auto stop = ZK_LOAD(QTM_Stop);
    auto rootCause = ZK_LOAD(QTM_GetStutterRootCause);
    auto quarantine = ZK_LOAD(Zelkor_HardQuarantine_Offender);
    auto tunerRestore = ZK_LOAD(Zelkor_IOTuner_Restore);
    auto restore = ZK_LOAD(Zelkor_Restore_OffenderW);
    if (!setQtmLog || !setPfLog || !setRecoveryLog || !setRecoveryLevel || !setThrottleLog || !getMetrics ||
        !start || !stop || !rootCause || !quarantine || !tunerRestore || !restore)
        return 1;

    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    const unsigned processors = si.dwNumberOfProcessors;
    std::printf("Zelkor demo: a synthetic game (game.exe) and a background CPU hog (hog.exe) on %u logical\n"
                "processors. The library samples stutter, asks the profiler who is to blame, and recovers;\n"
                "if the risk stays at or above %.2f for 3 s after that, the demo quarantines the hog.\n",
                processors, kRiskTrigger);
    if (underWine())
        std::printf("Under Wine priority classes have no effect on scheduling, affinity masks do (on Windows both apply).\n");
    std::printf("\n");
    auto game = zkhelper::start(L"game.exe", L"sleep", false);
    // The hog is started through a short-lived intermediate process, so that it is nobody's
    // descendant, like any background program (the tuner refuses the caller's own
    // descendants). It keeps every processor busy and holds 1 GiB, as a real hog would (a
    // background process needs well over one core's share before it alone is blamed).
    auto hog = zkhelper::start(L"hog.exe", L"hog", true);
    if (!game || !hog) {
        std::fprintf(stderr, "demo: could not start the helper processes (is zk_helper.exe beside zelkorctl?)\n");
        return 1;
    }
    std::printf("game.exe pid %lu, hog.exe pid %lu\n", game->pid, hog->pid);
    printHog("before", hog->process);

    setQtmLog(zkctl::printNarrowLine);
    setPfLog(zkctl::printNarrowLine);
    setRecoveryLog(zkctl::printNarrowLine);
    setRecoveryLevel(0);
    setThrottleLog(zkctl::printWideLine);

    // The sampler's defaults, as a host would start it: a 1 ms pause, which a quiet
    // machine keeps to a p99 of about 1.5 ms, so that a hog's delays stand out.
    if (start() != 1) {
        std::fprintf(stderr, "demo: the sampling worker could not start\n");
        return 1;
    }
    std::printf("sampling; the profiler compares two walks 10 s apart, so the verdict takes ~10 s\n");

    enum class Phase { naming, watching, recording } phase = Phase::naming;
    PfRootCause verdict{};
    std::uint64_t lastActionMs = 0;
    std::vector<zktl::Row> rows;
    std::vector<Action> actions;
    bool quarantined = false;
    // Every 100 ms a timeline row; every 500 ms the root-cause question until the hog is named.
    const std::uint64_t limitMs = seconds * 1000ull + kWatchMs + kAfterActionMs;
    zktl::runPaced(zkctl::systemPaceClock(), limitMs, [&](std::uint64_t ms) {
        QtmMetrics m{};
        getMetrics(&m);
        const double t = ms / 1000.0;
        rows.push_back(zkctl::timelineRow(t, m));
        std::optional<zktl::Event>& event = rows.back().event;
        const std::uint64_t slot = ms / zktl::kRowPeriodMs;
        bool more = true;
        if (phase == Phase::naming && slot % 5 == 0) {
            PfRootCause out{};
            uint32_t rec = 0;
            const int32_t r =
                rootCause(game->pid, kRiskTrigger, kP99TriggerMs, memoryLoad(), 0.0, 0.0, 0.0, 1.0, &out, &rec);
            if (r == 1) event = zkctl::offenderEvent(out, rec);
            if (r == 1 && out.pid == hog->pid) {
                verdict = out;
                const double score = out.score, cpu = out.cpuPct, ram = out.ramMB;
                std::printf("\nt=%4.1fs verdict: pid %u (%s), cause %s, score %.1f, CPU %.1f %%, RAM %.1f MB, recovery %s\n",
                            t, out.pid, out.name, causeWord(out.category), score, cpu, ram,
                            zktl::recoveryWord(rec).data());
                if (!event->action.empty()) actions.push_back({event->action + " recovery", t});
                printHog("after the recovery", hog->process);
                phase = Phase::watching;
                lastActionMs = ms;
            } else if (slot % 20 == 0) {
                std::printf("t=%4.1fs risk %.3f p99 %.2f ms: root cause %d\n", t, m.risk, m.p99Ms, r);
            }
        } else if (phase != Phase::naming && slot % 10 == 0) {
            std::printf("t=%4.1fs risk %.3f p99 %.2f ms\n", t, m.risk, m.p99Ms);
        }
        const zktl::Stayed stayed = phase == Phase::watching
                                        ? zktl::riskStayed(rows, lastActionMs / 1000.0, t, kRiskTrigger)
                                        : zktl::Stayed::neither;
        if (stayed == zktl::Stayed::high) {
            std::printf("t=%4.1fs the risk stayed at or above %.2f for 3 s: Zelkor_HardQuarantine_Offender(%u, %lu)\n", t,
                        kRiskTrigger, verdict.pid, game->pid);
            std::fflush(stdout);
            const int32_t q = quarantine(static_cast<int32_t>(verdict.pid), static_cast<int32_t>(game->pid));
            std::printf("Zelkor_HardQuarantine_Offender: %d%s\n", q, q == 1 ? "" : " (refused)");
            printHog("after the quarantine", hog->process);
            quarantined = q == 1;
            if (quarantined) {
                event = zkctl::quarantineEvent(verdict);
                actions.push_back({"quarantine", t});
            }
            phase = Phase::recording;
            lastActionMs = ms;
        } else if (stayed == zktl::Stayed::low) {
            std::printf("t=%4.1fs the risk stayed below %.2f for 3 s: the quarantine was not needed%s\n", t,
                        kRiskTrigger,
                        processors > 4 ? " (above four processors the hard recovery confines the hog to one itself)" : "");
            more = false;
        } else if (phase == Phase::watching && ms >= lastActionMs + kWatchMs) {
            std::printf("t=%4.1fs the risk neither stayed up nor fell for 3 s: no quarantine\n", t);
            more = false;
        }
        if (phase == Phase::recording) more = ms < lastActionMs + kAfterActionMs;
        if (phase == Phase::naming) more = ms < seconds * 1000ull;
        if (timeline) timeline->write(rows.back());
        std::fflush(stdout);
        return more;
    });
    stop();
    setQtmLog(nullptr);
    setPfLog(nullptr);
    setRecoveryLog(nullptr);

    int status = 0;
    if (phase != Phase::naming) {
        printEffects(rows, actions);
        std::printf("\n");
        // The quarantine's I/O tuner records go back first, then the offender's own restore.
        if (quarantined) tunerRestore();
        uint32_t err = 0;
        const int32_t restored = restore(hog->pid, 1, nullptr, &err);
        std::printf("Zelkor_Restore_OffenderW: %d (last error %u)\n", restored, err);
        printHog("after the restore", hog->process);
        if (quarantined) std::printf("(the quarantine's affinity has no restore of its own; the hog ends now)\n");
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

ZKCTL_COMMAND(demo, "demo [--csv FILE] [secs]  scripted stutter: a game, a CPU hog, the verdict, recovery and quarantine",
              runDemo);
