// The exports that take no input, called out of order: before any set-up, twice, or after
// the module was cleaned up.
#include "sweep_row.h"

namespace zksweep {

void addLifecycleRows(Rows& rows) {
    returns(rows, "QTM_ResetMetrics(), PF_Init() twice, PF_Reset() before any walk", "return", [] {
        ZK_SWEEP(QTM_ResetMetrics)();
        ZK_SWEEP(PF_Init)();
        ZK_SWEEP(PF_Init)();
        ZK_SWEEP(PF_Reset)();
    });
    rows.push_back({"QTM_Start() twice, then QTM_Stop() twice", "1, 1; the worker stopped", [](const Env&) {
                        const bool started = ZK_SWEEP(QTM_Start)() == 1 && ZK_SWEEP(QTM_Start)() == 1;
                        ZK_SWEEP(QTM_Stop)();
                        ZK_SWEEP(QTM_Stop)();
                        return started;
                    }});
    rows.push_back({"Zelkor_Affinity_Cleanup() and ResetAll() before Initialize, twice each, then "
                    "Zelkor_Affinity_RefreshInverse() without a layout",
                    "0", [](const Env&) {
                        for (int i = 0; i < 2; ++i) {
                            ZK_SWEEP(Zelkor_Affinity_Cleanup)();
                            ZK_SWEEP(Zelkor_Affinity_ResetAll)();
                        }
                        return ZK_SWEEP(Zelkor_Affinity_RefreshInverse)() == 0;
                    }});
    rows.push_back({"SetAffinityLogCallback(NULL), Zelkor_Affinity_DiagnoseStatus() without a layout, "
                    "Zelkor_Affinity_ResetMetrics(), Zelkor_Affinity_ClearSecurityEvents()",
                    "return; metrics and events empty", [](const Env&) {
                        ZK_SWEEP(SetAffinityLogCallback)(nullptr);
                        ZK_SWEEP(Zelkor_Affinity_DiagnoseStatus)();
                        ZK_SWEEP(Zelkor_Affinity_ResetMetrics)();
                        ZK_SWEEP(Zelkor_Affinity_ClearSecurityEvents)();
                        std::uint64_t modified = 1, failed = 1, reapplied = 1;
                        ZK_SWEEP(Zelkor_Affinity_GetMetrics)(&modified, &failed, &reapplied);
                        AffinitySecurityEventC event{};
                        return modified == 0 && failed == 0 && reapplied == 0 &&
                               ZK_SWEEP(Zelkor_Affinity_GetSecurityEventsC)(&event, 1) == 0;
                    }});
    // Privileges of the calling process, the standby list, the power scheme and a system
    // service: the simulated machine only.
    rows.push_back({"Zelkor_Affinity_Initialize() twice", "1 or 0 each time", [](const Env&) {
                        auto init = ZK_SWEEP(Zelkor_Affinity_Initialize);
                        return zeroOrOne({init(), init()});
                    }, true});
    rows.push_back({"self_test()", "1 or 0", [](const Env&) { return zeroOrOne({ZK_SWEEP(self_test)()}); }, true});
    rows.push_back({"Zelkor_Power_SetHighPerformance()", "1 or 0",
                    [](const Env&) { return zeroOrOne({ZK_SWEEP(Zelkor_Power_SetHighPerformance)()}); }, true});
    rows.push_back({"ZelkorToggleSysMain(INT32_MIN), then ZelkorToggleSysMain(0)", "1 or 0 each; SysMain back on",
                    [](const Env&) {
                        return zeroOrOne({ZK_SWEEP(ZelkorToggleSysMain)(INT32_MIN), ZK_SWEEP(ZelkorToggleSysMain)(0)});
                    }, true});
}

}  // namespace zksweep
