// kill [--aggressive] [--protect-gaming-tools]: end background programs.

#include <cstdio>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

int runKill(const zkctl::Args& args) {
    bool aggressive = false, protect = false;
    for (const auto& a : args) {
        if (a == L"--aggressive")
            aggressive = true;
        else if (a == L"--protect-gaming-tools")
            protect = true;
        else {
            std::fprintf(stderr, "usage: zelkorctl kill [--aggressive] [--protect-gaming-tools]\n");
            return 2;
        }
    }
    auto setLog = ZK_LOAD(Zelkor_Restore_SetLogCallback);
    auto streaming = ZK_LOAD(Zelkor_IsStreamingActiveW);
    auto kill = ZK_LOAD(Zelkor_KillBackgroundProcessesW);
    if (!setLog || !streaming || !kill) return 1;
    setLog(&zkctl::printWideLine);
    std::printf("streaming tool running: %s\n", streaming() ? "yes" : "no");
    std::printf("%u program(s) ended\n", kill(aggressive ? 1 : 0, protect ? 1 : 0));
    return 0;
}

}  // namespace

ZKCTL_COMMAND(kill, "kill [--aggressive] [--protect-gaming-tools]   end background programs (browsers, chat...)",
              runKill);
