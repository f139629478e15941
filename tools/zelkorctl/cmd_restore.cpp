// restore [--start-services] [--flush-dns]: the stateless restore, then its polled log.

#include <cstdio>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

int runRestore(const zkctl::Args& args) {
    bool startServices = false, flushDns = false;
    for (const auto& a : args) {
        if (a == L"--start-services")
            startServices = true;
        else if (a == L"--flush-dns")
            flushDns = true;
        else {
            std::fprintf(stderr, "usage: zelkorctl restore [--start-services] [--flush-dns]\n");
            return 2;
        }
    }
    auto restore = ZK_LOAD(Zelkor_Stateless_System_Restore);
    auto poll = ZK_LOAD(Zelkor_StatelessRestore_PollLogA);
    if (!restore || !poll) return 1;
    const int32_t result = restore(startServices ? 1 : 0, flushDns ? 1 : 0);
    char line[1024];
    while (poll(line, sizeof line)) zkctl::printNarrowLine(line);
    std::printf("restore returned %d\n", result);
    return 0;
}

}  // namespace

ZKCTL_COMMAND(restore, "restore [--start-services] [--flush-dns]   normal priorities, Balanced, core services; prints the log",
              runRestore);
