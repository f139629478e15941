// iotuner lower PID | apply GAMEPID [--hold SECONDS] | restore, each with [--aggressive]
// [--streaming] where it applies: the I/O tuner's exports.
//
// The tuner writes every line to standard error itself, so no callback is set here (it
// would print each line twice). Its records live in this process: a restore in a later
// zelkorctl run has nothing to put back, hence --hold, which restores before exiting.

#include <windows.h>

#include <cstdio>

#include "command.h"
#include "library.h"
#include "timeline_file.h"
#include "zelkor.h"

namespace {

struct Flags {
    bool aggressive = false;
    bool streaming = false;
    unsigned long holdSeconds = 0;
    bool ok = true;
};

Flags parseFlags(const zkctl::Args& args, std::size_t from) {
    Flags f;
    for (std::size_t i = from; i < args.size(); ++i) {
        if (args[i] == L"--aggressive") {
            f.aggressive = true;
        } else if (args[i] == L"--streaming") {
            f.streaming = true;
        } else if (args[i] == L"--hold" && i + 1 < args.size() && zkctl::parseUnsigned(args[i + 1], f.holdSeconds)) {
            ++i;
        } else {
            std::fprintf(stderr, "iotuner: unknown option '%ls'\n", args[i].c_str());
            f.ok = false;
        }
    }
    return f;
}

bool pidArgument(const zkctl::Args& args, const char* what, unsigned long& pid) {
    if (args.size() >= 2 && zkctl::parseUnsigned(args[1], pid)) return true;
    std::fprintf(stderr, "iotuner %ls: a %s is needed\n", args[0].c_str(), what);
    return false;
}

int restore() {
    auto fn = ZK_LOAD(Zelkor_IOTuner_Restore);
    if (!fn) return 1;
    fn();
    return 0;
}

int lower(const zkctl::Args& args) {
    unsigned long pid = 0;
    if (!pidArgument(args, "process id", pid)) return 2;
    const Flags f = parseFlags(args, 2);
    if (!f.ok) return 2;
    auto fn = ZK_LOAD(Zelkor_IOTuner_LowerSinglePid);
    if (!fn) return 1;
    const int32_t r = fn(static_cast<uint32_t>(pid), 0, GetCurrentProcessId(), f.aggressive, f.streaming);
    std::printf("pid %lu: %s\n", pid, r == 1 ? "lowered" : "not lowered");
    return r == 1 ? 0 : 1;
}

int apply(const zkctl::Args& args) {
    unsigned long game = 0;
    if (!pidArgument(args, "game process id", game)) return 2;
    const Flags f = parseFlags(args, 2);
    if (!f.ok) return 2;
    // Lowering every process around a game that is not there would act for nothing.
    if (!zkctl::processIsRunning(game)) {
        std::fprintf(stderr, "iotuner apply: no running process has pid %lu\n", game);
        return 2;
    }
    auto fn = ZK_LOAD(Zelkor_IOTuner_ApplyInverseIoEx);
    if (!fn) return 1;
    const int32_t n = fn(static_cast<uint32_t>(game), f.aggressive, f.streaming);
    if (n < 0) {
        std::printf("game %lu: refused by the rate limit\n", game);
        return 1;
    }
    std::printf("game %lu: %d processes lowered\n", game, n);
    if (f.holdSeconds == 0) return 0;
    std::printf("holding for %lu s, then restoring\n", f.holdSeconds);
    std::fflush(stdout);
    // A second at a time: the seconds as milliseconds would not fit Sleep's 32 bits.
    for (unsigned long s = 0; s < f.holdSeconds; ++s) Sleep(1000);
    return restore();
}

int runIoTuner(const zkctl::Args& args) {
    const std::wstring sub = args.empty() ? L"" : args[0];
    if (sub == L"lower") return lower(args);
    if (sub == L"apply") return apply(args);
    if (sub == L"restore") return restore();
    std::fprintf(stderr,
                 "usage: zelkorctl iotuner lower PID [--aggressive] [--streaming]\n"
                 "       zelkorctl iotuner apply GAMEPID [--aggressive] [--streaming] [--hold SECONDS]\n"
                 "       zelkorctl iotuner restore\n");
    return 2;
}

}  // namespace

ZKCTL_COMMAND(iotuner,
              "iotuner lower PID | apply GAMEPID [--hold S] | restore   lower I/O and CPU priority around a game",
              runIoTuner);
