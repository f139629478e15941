// power boost TIER [--in-game] | cleanup | mode | plan | throttle MIN MAX | hiperf | aspm | wifi:
// the processor boost and the power API on the active scheme.
//
// The boost's saved values live in this process, so `boost` holds the boost until Enter
// (or the end of input) and then cleans up: a later zelkorctl run could not put the
// scheme back. `cleanup` and `mode` only show what a fresh process sees.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

int boost(const zkctl::Args& args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "power boost: a tier is needed (low, mid, high, ultra)\n");
        return 2;
    }
    bool inGame = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] != L"--in-game") {
            std::fprintf(stderr, "power boost: unknown option '%ls'\n", args[i].c_str());
            return 2;
        }
        inGame = true;
    }
    auto apply = ZK_LOAD(Zelkor_Driverless_Apply);
    auto mode = ZK_LOAD(Zelkor_Driverless_GetMode);
    auto cleanup = ZK_LOAD(Zelkor_Driverless_Cleanup);
    if (!apply || !mode || !cleanup) return 1;
    // The boost writes its lines to standard error itself; the callback is not needed.
    const std::string tier(args[1].begin(), args[1].end());
    apply(tier.c_str(), inGame ? 1 : 0);
    const uint32_t m = mode();
    if (m == 0) {
        std::printf("boost not active\n");
        return 1;
    }
    std::printf("boost active (processor boost mode %u); press Enter to clean up\n", m);
    std::fflush(stdout);
    for (int c; (c = std::getchar()) != EOF && c != '\n';) {
    }
    cleanup();
    return 0;
}

int throttle(const zkctl::Args& args) {
    unsigned long min = 0, max = 0;
    if (args.size() < 3 || !zkctl::parseUnsigned(args[1], min) || !zkctl::parseUnsigned(args[2], max)) {
        std::fprintf(stderr, "power throttle: MIN and MAX percent are needed\n");
        return 2;
    }
    auto fn = ZK_LOAD(Zelkor_Power_SetCpuThrottle);
    if (!fn) return 1;
    const int32_t r = fn(nullptr, static_cast<uint32_t>(min), max > 0x7FFFFFFF ? -1 : static_cast<int32_t>(max));
    std::printf("%s\n", r ? "done" : "failed (or refused: MIN <= MAX <= 100)");
    return r ? 0 : 1;
}

int plan() {
    auto fn = ZK_LOAD(Zelkor_Power_GetActivePlan);
    auto elevated = ZK_LOAD(Zelkor_Power_IsElevated);
    if (!fn || !elevated) return 1;
    ZkGuid g{};
    const int32_t r = fn(&g);
    if (r)
        std::printf("active scheme %08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x\n",
                    static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                    g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    else
        std::printf("no active scheme\n");
    std::printf("process %s elevated\n", elevated() ? "is" : "is not");
    return r ? 0 : 1;
}

int result(int32_t r) {
    std::printf("%s\n", r ? "done" : "failed");
    return r ? 0 : 1;
}

int runPower(const zkctl::Args& args) {
    const std::wstring sub = args.empty() ? L"" : args[0];
    if (sub == L"boost") return boost(args);
    if (sub == L"cleanup") {
        auto fn = ZK_LOAD(Zelkor_Driverless_Cleanup);
        if (!fn) return 1;
        fn();
        return 0;
    }
    if (sub == L"mode") {
        auto fn = ZK_LOAD(Zelkor_Driverless_GetMode);
        if (!fn) return 1;
        std::printf("processor boost mode %u\n", fn());
        return 0;
    }
    if (sub == L"plan") return plan();
    if (sub == L"throttle") return throttle(args);
    if (sub == L"hiperf") {
        auto fn = ZK_LOAD(Zelkor_Power_SetHighPerformance);
        return fn ? result(fn()) : 1;
    }
    if (sub == L"aspm") {
        auto fn = ZK_LOAD(Zelkor_Power_SetPcieAspmDisabled);
        return fn ? result(fn(nullptr)) : 1;
    }
    if (sub == L"wifi") {
        auto fn = ZK_LOAD(Zelkor_Power_SetWifiMaxPerf);
        return fn ? result(fn(nullptr)) : 1;
    }
    std::fprintf(stderr,
                 "usage: zelkorctl power boost TIER [--in-game] | cleanup | mode | plan | throttle MIN MAX | hiperf | "
                 "aspm | wifi\n");
    return 2;
}

}  // namespace

ZKCTL_COMMAND(power,
              "power boost TIER [--in-game] | cleanup | mode | plan | throttle MIN MAX | hiperf | aspm | wifi   "
              "the active power scheme",
              runPower);
