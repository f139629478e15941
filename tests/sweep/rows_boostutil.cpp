// Services and background programs.
#include <limits>

#include "sweep_row.h"

namespace zksweep {

namespace {
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
}  // namespace

void addBoostUtilRows(Rows& rows) {
    rows.push_back({"Zelkor_Restore_SetLogCallback(NULL)", "0", [](const Env&) {
                        return ZK_SWEEP(Zelkor_Restore_SetLogCallback)(nullptr) == 0;
                    }});
    rows.push_back({"Zelkor_StartServicesW(NULL / \"\" / 64 K characters / lone surrogates / unknown, INT32_MIN)",
                    "0, nothing started", [](const Env&) {
                        auto fn = ZK_SWEEP(Zelkor_StartServicesW);
                        const zk_wchar unknown[] = {'z', 'k', '_', 'n', 'o', 'n', 'e', 0};
                        return fn(nullptr, kMin) == 0 && fn(wideEmpty(), kMin) == 0 && fn(wide64k(), kMin) == 0 &&
                               fn(wideSurrogates(), kMin) == 0 && fn(unknown, kMin) == 0;
                    }});
    rows.push_back({"Zelkor_StopServicesW(NULL, NULL, 0) / (\"\", buf, -1) / (64 K characters, buf, 1) / "
                    "(\"power,zk_none\", buf, 8)",
                    "0; the buffer terminated only when its size is at least 1", [](const Env&) {
                        auto fn = ZK_SWEEP(Zelkor_StopServicesW);
                        zk_wchar buf[8] = {'#', '#'};
                        const zk_wchar critical[] = {'p', 'o', 'w', 'e', 'r', ',', 'z', 'k', '_', 'n', 'o', 'n', 'e', 0};
                        bool ok = fn(nullptr, nullptr, 0) == 0;
                        ok = ok && fn(wideEmpty(), buf, -1) == 0 && buf[0] == '#';
                        ok = ok && fn(wideEmpty(), buf, kMin) == 0 && buf[0] == '#';
                        ok = ok && fn(wide64k(), buf, 1) == 0 && buf[0] == 0 && buf[1] == '#';
                        return ok && fn(critical, buf, 8) == 0 && buf[0] == 0;
                    }});
    rows.push_back({"Zelkor_IsStreamingActiveW()", "0 or 1", [](const Env&) {
                        return ZK_SWEEP(Zelkor_IsStreamingActiveW)() <= 1;
                    }});
    // It ends whatever background programs run: the simulated machine only.
    rows.push_back({"Zelkor_KillBackgroundProcessesW(INT32_MIN, INT32_MAX)", "the count ended (none here)",
                    [](const Env&) { return ZK_SWEEP(Zelkor_KillBackgroundProcessesW)(kMin, kMax) == 0; }, true});
}

}  // namespace zksweep
