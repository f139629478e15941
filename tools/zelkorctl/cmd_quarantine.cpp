// quarantine PID [GAMEPID]: the hard quarantine of one offender.

#include <cstdio>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

int runQuarantine(const zkctl::Args& args) {
    unsigned long pid = 0, game = 0;
    if (args.empty() || !zkctl::parseUnsigned(args[0], pid) ||
        (args.size() > 1 && !zkctl::parseUnsigned(args[1], game))) {
        std::fprintf(stderr, "usage: zelkorctl quarantine PID [GAMEPID]\n");
        return 2;
    }
    auto fn = ZK_LOAD(Zelkor_HardQuarantine_Offender);
    if (!fn) return 1;
    const int32_t r = fn(static_cast<int32_t>(pid), static_cast<int32_t>(game));
    const char* meaning = r == 1 ? "quarantined (first processor, lowered, memory cleaned)"
                          : r == 0 ? "refused" : "refused: system process";
    std::printf("pid %lu: %d (%s)\n", pid, r, meaning);
    return r == 1 ? 0 : 1;
}

}  // namespace

ZKCTL_COMMAND(quarantine, "quarantine PID [GAMEPID]   confine one offender to the first processor", runQuarantine);
