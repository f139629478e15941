// The processor boost and the single-setting power API.
#include <limits>

#include "sweep_row.h"

namespace zksweep {

void addPowerRows(Rows& rows) {
    rows.push_back({"Zelkor_Driverless_Cleanup() without a boost", "nothing", [](const Env&) {
                        ZK_SWEEP(Zelkor_Driverless_Cleanup)();
                        return ZK_SWEEP(Zelkor_Driverless_GetMode)() == 0;
                    }});
    rows.push_back({"Zelkor_Power_GetActivePlan(NULL), "
                    "Zelkor_Power_SetCpuThrottle(NULL, 101 / 0 / 50 / UINT32_MAX, 100 / -1 / 101 / 100)",
                    "0, nothing written", [](const Env&) {
                        auto fn = ZK_SWEEP(Zelkor_Power_SetCpuThrottle);
                        return ZK_SWEEP(Zelkor_Power_GetActivePlan)(nullptr) == 0 && fn(nullptr, 101, 100) == 0 &&
                               fn(nullptr, 0, -1) == 0 && fn(nullptr, 50, 101) == 0 &&
                               fn(nullptr, std::numeric_limits<uint32_t>::max(), 100) == 0 &&
                               fn(nullptr, 0, std::numeric_limits<int32_t>::min()) == 0;
                    }});
    returns(rows, "SetDriverlessLogCallback(NULL), Zelkor_Power_GetLastError() and IsElevated()", "return", [] {
        ZK_SWEEP(SetDriverlessLogCallback)(nullptr);
        ZK_SWEEP(Zelkor_Power_GetLastError)();
        ZK_SWEEP(Zelkor_Power_IsElevated)();
    });
    // The power scheme is the machine's: the simulated machine only.
    rows.push_back({"Zelkor_Driverless_Apply(64 K characters / NULL / \"\", INT32_MIN), then Cleanup",
                    "a boost at mode 2 or 3, put back", [](const Env&) {
                        bool ok = true;
                        for (const char* tier : {narrow64k(), static_cast<const char*>(nullptr), ""}) {
                            ZK_SWEEP(Zelkor_Driverless_Apply)(tier, std::numeric_limits<int32_t>::min());
                            const uint32_t mode = ZK_SWEEP(Zelkor_Driverless_GetMode)();
                            ZK_SWEEP(Zelkor_Driverless_Cleanup)();
                            ok = ok && mode <= 3;
                        }
                        return ok;
                    },
                    true});
    rows.push_back({"Zelkor_Power_SetPcieAspmDisabled(NULL), Zelkor_Power_SetWifiMaxPerf(NULL)", "1 or 0",
                    [](const Env&) {
                        return zeroOrOne({ZK_SWEEP(Zelkor_Power_SetPcieAspmDisabled)(nullptr),
                                          ZK_SWEEP(Zelkor_Power_SetWifiMaxPerf)(nullptr)});
                    }, true});
}

}  // namespace zksweep
