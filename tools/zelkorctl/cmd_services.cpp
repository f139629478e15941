// services start|stop LIST: start or stop a comma-separated list of services.

#include <cstdio>
#include <string>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

int runServices(const zkctl::Args& args) {
    if (args.size() != 2 || (args[0] != L"start" && args[0] != L"stop")) {
        std::fprintf(stderr, "usage: zelkorctl services start|stop LIST   (LIST: comma-separated service names)\n");
        return 2;
    }
    auto setLog = ZK_LOAD(Zelkor_Restore_SetLogCallback);
    auto start = ZK_LOAD(Zelkor_StartServicesW);
    auto stop = ZK_LOAD(Zelkor_StopServicesW);
    if (!setLog || !start || !stop) return 1;
    setLog(&zkctl::printWideLine);
    if (args[0] == L"start") {
        const uint32_t running = start(args[1].c_str(), 0);
        std::printf("%u service(s) running\n", running);
        return 0;
    }
    wchar_t stopped[1024] = {};
    const uint32_t n = stop(args[1].c_str(), stopped, 1024);
    std::wstring names = stopped;
    std::printf("%u service(s) stopped: %ls\n", n, names.empty() ? L"(none)" : names.c_str());
    return 0;
}

}  // namespace

ZKCTL_COMMAND(services, "services start|stop LIST   start or stop comma-separated services", runServices);
