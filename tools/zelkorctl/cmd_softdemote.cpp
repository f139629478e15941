// softdemote start [TIER] GAMEPID | stop: a soft demotion engine around a game.
//
// An engine lives in the process that started it, so `start` runs it until Enter (or the
// end of input) and then stops it; a later zelkorctl run has no engine to stop.

#include <cstdio>
#include <string>

#include "command.h"
#include "library.h"
#include "timeline_file.h"
#include "zelkor.h"

namespace {

int start(const zkctl::Args& args) {
    unsigned long game = 0;
    const bool hasTier = args.size() >= 3;
    if (args.size() < 2 || args.size() > 3 || !zkctl::parseUnsigned(args.back(), game)) {
        std::fprintf(stderr, "usage: zelkorctl softdemote start [low|mid|high] GAMEPID\n");
        return 2;
    }
    if (!zkctl::processIsRunning(game)) {
        std::fprintf(stderr, "softdemote start: no running process has pid %lu\n", game);
        return 2;
    }
    auto setCallback = ZK_LOAD(SetSoftDemoteLogCallback);
    auto startEngine = ZK_LOAD(StartSoftDemoteV4);
    auto stopEngine = ZK_LOAD(StopSoftDemoteV4);
    if (!setCallback || !startEngine || !stopEngine) return 1;
    setCallback(zkctl::printNarrowLine);
    const std::string tier = hasTier ? std::string(args[1].begin(), args[1].end()) : std::string("mid");
    SoftDemoteHandle engine = startEngine(tier.c_str(), static_cast<uint32_t>(game), 0);
    if (!engine) return 1;
    std::printf("soft demotion running around pid %lu; press Enter to stop\n", game);
    std::fflush(stdout);
    for (int c; (c = std::getchar()) != EOF && c != '\n';) {
    }
    stopEngine(engine);
    setCallback(nullptr);
    return 0;
}

int runSoftDemote(const zkctl::Args& args) {
    const std::wstring sub = args.empty() ? L"" : args[0];
    if (sub == L"start") return start(args);
    if (sub == L"stop") {
        std::printf("no engine runs in this process: an engine stops when its `softdemote start` gets Enter\n");
        return 1;
    }
    std::fprintf(stderr, "usage: zelkorctl softdemote start [low|mid|high] GAMEPID | stop\n");
    return 2;
}

}  // namespace

ZKCTL_COMMAND(softdemote,
              "softdemote start [TIER] GAMEPID | stop   demote processes competing with a game (until Enter)",
              runSoftDemote);
