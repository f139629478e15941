// The sampler, the profiler and the recovery chain.
#include <cstring>
#include <limits>

#include "sweep_row.h"

namespace zksweep {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

void addStutterRows(Rows& rows) {
    returns(rows, "QTM_GetConfig(NULL)", "ignored", [] { ZK_SWEEP(QTM_GetConfig)(nullptr); });
    returns(rows, "QTM_SetConfig(NULL)", "ignored", [] { ZK_SWEEP(QTM_SetConfig)(nullptr); });
    rows.push_back({"QTM_SetConfig({0, 0, NaN, -1, inf, NaN})", "interval 200 and window 20 written back",
                    [](const Env&) {
                        QtmConfig saved{};
                        ZK_SWEEP(QTM_GetConfig)(&saved);
                        QtmConfig bad{0, 0, kNaN, -1.0, std::numeric_limits<double>::infinity(), kNaN};
                        ZK_SWEEP(QTM_SetConfig)(&bad);
                        ZK_SWEEP(QTM_SetConfig)(&saved);
                        return bad.sampleIntervalUs == 200 && bad.windowSize == 20;
                    }});
    returns(rows, "QTM_GetMetrics(NULL)", "ignored", [] { ZK_SWEEP(QTM_GetMetrics)(nullptr); });
    rows.push_back({"QTM_GetStutterRisk()", "within 0..1", [](const Env&) {
                        const double r = ZK_SWEEP(QTM_GetStutterRisk)();
                        return r >= 0.0 && r <= 1.0;
                    }});
    returns(rows, "QTM_SetLogCallback(NULL)", "silenced", [] { ZK_SWEEP(QTM_SetLogCallback)(nullptr); });
    returns(rows, "PF_SetLogCallback(NULL)", "silenced", [] { ZK_SWEEP(PF_SetLogCallback)(nullptr); });
    rows.push_back({"PF_GetRootCause(pid, NaN, -1, NULL)", "-1", [](const Env& e) {
                        return ZK_SWEEP(PF_GetRootCause)(e.missingPid, kNaN, -1.0, nullptr) == -1;
                    }});
    rows.push_back({"PF_GetRootCause(0 / 4 / own pid, risk 1, p99 5, out)",
                    "0 with the record cleared, or 1 naming a process other than the game and pid 0",
                    [](const Env& e) {
                        for (const uint32_t pid : {0u, 4u, e.ownPid}) {
                            PfRootCause out;
                            std::memset(&out, 0xFF, sizeof out);
                            const int32_t r = ZK_SWEEP(PF_GetRootCause)(pid, 1.0, 5.0, &out);
                            const PfRootCause zero{};
                            if (r == 0 ? std::memcmp(&out, &zero, sizeof out) != 0
                                       : r != 1 || out.pid == pid || out.pid == 0)
                                return false;
                        }
                        return true;
                    }});
    returns(rows, "QTM_SetRecoveryConfig(NULL)", "ignored", [] { ZK_SWEEP(QTM_SetRecoveryConfig)(nullptr); });
    returns(rows, "QTM_GetRecoveryMetrics(NULL)", "ignored", [] { ZK_SWEEP(QTM_GetRecoveryMetrics)(nullptr); });
    returns(rows, "QTM_Stutter_SetLogCallback(NULL)", "debugger output", [] {
        ZK_SWEEP(QTM_Stutter_SetLogCallback)(nullptr);
    });
    returns(rows, "QTM_Stutter_SetMinLogLevel(INT32_MIN), (INT32_MAX)", "limited to 0..3", [] {
        ZK_SWEEP(QTM_Stutter_SetMinLogLevel)(std::numeric_limits<int32_t>::min());
        ZK_SWEEP(QTM_Stutter_SetMinLogLevel)(std::numeric_limits<int32_t>::max());
        ZK_SWEEP(QTM_Stutter_SetMinLogLevel)(1);
    });
    rows.push_back({"QTM_GetStutterRootCause(pid, ..., NULL, NULL), "
                    "(missing pid, +inf thresholds, NaN loads, out, NULL)",
                    "-1, then 0 (no stutter) or -2 before the first metrics", [](const Env& e) {
                        auto fn = ZK_SWEEP(QTM_GetStutterRootCause);
                        PfRootCause out{};
                        const double inf = std::numeric_limits<double>::infinity();
                        const int32_t r = fn(e.missingPid, inf, inf, kNaN, kNaN, kNaN, kNaN, kNaN, &out, nullptr);
                        return fn(e.missingPid, 0.1, 1.0, 50, 50, 50, 50, 1, nullptr, nullptr) == -1 &&
                               (r == 0 || r == -2);
                    }});
    // NaN thresholds compare as "not below", so they count as a stutter and the walk runs
    // (and with an offender, a recovery): the simulated machine only.
    rows.push_back({"QTM_GetStutterRootCause(missing pid, NaN thresholds, ..., out, &recovery)",
                    "-2 before the first metrics, else the profiler's verdict",
                    [](const Env& e) {
                        PfRootCause out{};
                        uint32_t recovery = 9;
                        const int32_t r = ZK_SWEEP(QTM_GetStutterRootCause)(e.missingPid, kNaN, kNaN, 0, 0, 0, 0, 1,
                                                                            &out, &recovery);
                        return r >= -3 && r <= 1 && recovery <= 2;
                    },
                    true});
}

}  // namespace zksweep
