// sysmain on|off|status: the system's prefetch service (SysMain).

#include <windows.h>

#include <cstdio>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

const char* stateName(uint32_t s) {
    static const char* const names[] = {"unknown (not reachable)", "stopped", "start pending", "stop pending",
                                        "running", "continue pending", "pause pending", "paused"};
    return s < 8 ? names[s] : "unknown";
}

void __cdecl printDiskLine(int32_t, const wchar_t* text) { zkctl::printWideLine(text); }

int runSysMain(const zkctl::Args& args) {
    const std::wstring sub = args.size() == 1 ? args[0] : L"";
    if (sub != L"on" && sub != L"off" && sub != L"status") {
        std::fprintf(stderr, "usage: zelkorctl sysmain on|off|status\n");
        return 2;
    }
    auto status = ZK_LOAD(ZelkorGetSysMainStatus);
    auto toggle = ZK_LOAD(ZelkorToggleSysMain);
    auto listen = ZK_LOAD(ZelkorRegisterDiskLogCallback);
    auto level = ZK_LOAD(ZelkorSetDiskLogLevel);
    auto shutdown = ZK_LOAD(ZelkorShutdown);
    if (!status || !toggle || !listen || !level || !shutdown) return 1;
    listen(&printDiskLine);
    level(2);
    int rc = 0;
    if (sub != L"status") {
        const uint32_t ok = toggle(sub == L"off" ? 1 : 0);
        std::printf("SysMain %s: %s\n", sub == L"off" ? "off" : "on", ok ? "done" : "refused");
        rc = ok ? 0 : 1;
    }
    const uint32_t s = status();
    shutdown();
    std::printf("SysMain state: %u (%s)\n", s, stateName(s));
    return rc;
}

}  // namespace

ZKCTL_COMMAND(sysmain, "sysmain on|off|status   switch the system's prefetch service (SysMain)", runSysMain);
