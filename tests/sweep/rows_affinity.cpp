// The affinity module: every export catches everything and refuses before touching a
// process when the pid, the pointer or the count is bad.
#include <climits>
#include <cstring>

#include "sweep_row.h"

namespace zksweep {

void addAffinityRows(Rows& rows) {
    rows.push_back({"Zelkor_Affinity_GetConfigC(NULL), Zelkor_Affinity_SetConfigC(NULL)", "nothing; the record unchanged",
                    [](const Env&) {
                        AffinityConfig before{}, after{};
                        ZK_SWEEP(Zelkor_Affinity_GetConfigC)(&before);
                        ZK_SWEEP(Zelkor_Affinity_GetConfigC)(nullptr);
                        ZK_SWEEP(Zelkor_Affinity_SetConfigC)(nullptr);
                        ZK_SWEEP(Zelkor_Affinity_GetConfigC)(&after);
                        return std::memcmp(&before, &after, sizeof before) == 0;
                    }});
    rows.push_back({"Zelkor_Affinity_GetSecurityEventsC(NULL, 5 / out, 0 / out, -1 / out, INT_MIN)", "0",
                    [](const Env&) {
                        auto fn = ZK_SWEEP(Zelkor_Affinity_GetSecurityEventsC);
                        AffinitySecurityEventC out{};
                        return fn(nullptr, 5) == 0 && fn(&out, 0) == 0 && fn(&out, -1) == 0 && fn(&out, INT_MIN) == 0;
                    }});
    returns(rows, "Zelkor_Affinity_GetMetrics(NULL, NULL, NULL), Zelkor_Affinity_SetMinLogLevel(INT_MIN / INT_MAX)",
            "nothing", [] {
                ZK_SWEEP(Zelkor_Affinity_GetMetrics)(nullptr, nullptr, nullptr);
                ZK_SWEEP(Zelkor_Affinity_SetMinLogLevel)(INT_MIN);
                ZK_SWEEP(Zelkor_Affinity_SetMinLogLevel)(INT_MAX);
                ZK_SWEEP(Zelkor_Affinity_SetMinLogLevel)(0);
            });
    rows.push_back({"Zelkor_Affinity_DynamicStepForPid(pid, NULL, 5 / samples, 0 / samples, INT_MIN)", "0",
                    [](const Env& e) {
                        auto fn = ZK_SWEEP(Zelkor_Affinity_DynamicStepForPid);
                        const double samples[1] = {50.0};
                        const auto pid = static_cast<int32_t>(e.ownedPid);
                        return fn(pid, nullptr, 5) == 0 && fn(pid, samples, 0) == 0 && fn(pid, samples, INT_MIN) == 0;
                    }});
    rows.push_back({"Zelkor_Affinity_ApplyBoostForPid / ApplyInverseForPid(0 / -1 / INT_MIN / missing pid)", "0",
                    [](const Env& e) {
                        for (const int32_t pid : {0, -1, INT_MIN, static_cast<int32_t>(e.missingPid)})
                            if (ZK_SWEEP(Zelkor_Affinity_ApplyBoostForPid)(pid) != 0 ||
                                ZK_SWEEP(Zelkor_Affinity_ApplyInverseForPid)(pid) != 0)
                                return false;
                        return true;
                    }});
    rows.push_back({"Zelkor_Affinity_ApplyInverseForOffenderPid(0 / -1 / 4 / own pid / missing pid)", "0",
                    [](const Env& e) {
                        for (const uint32_t pid : {0u, 0xFFFFFFFFu, 4u, e.ownPid, e.missingPid})
                            if (ZK_SWEEP(Zelkor_Affinity_ApplyInverseForOffenderPid)(static_cast<int32_t>(pid)) != 0)
                                return false;
                        return true;
                    }});
}

}  // namespace zksweep
