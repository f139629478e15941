// The stutter entry point and the recovery settings, counters and log channel exports.

#include <cstring>

#include "stutter/recovery_log.h"
#include "stutter/recovery_state.h"
#include "stutter/root_cause.h"
#include "zelkor.h"

using zk::stutter::recoveryLog;
using zk::stutter::recoveryState;
using zk::stutter::stutterRootCause;

extern "C" {

ZK_API void ZK_CALL QTM_SetRecoveryConfig(const QtmRecoveryConfig* cfg) {
    if (cfg) recoveryState().setConfig(*cfg);
}

ZK_API void ZK_CALL QTM_GetRecoveryMetrics(QtmRecoveryMetrics* out) {
    if (out) *out = recoveryState().metrics();
}

ZK_API void ZK_CALL QTM_Stutter_SetLogCallback(QtmStutterLogCallback cb) { recoveryLog().setCallback(cb); }

ZK_API void ZK_CALL QTM_Stutter_SetMinLogLevel(int32_t level) { recoveryLog().setMinLevel(level); }

ZK_API int32_t ZK_CALL QTM_GetStutterRootCause(uint32_t gamePid, double riskThreshold, double p99ThresholdMs,
                                               double ramPct, double cpuMaxPct, double headroomPct,
                                               double saturationPct, double loadFactor, PfRootCause* out,
                                               uint32_t* outRecovery) {
    try {
        return stutterRootCause().find(gamePid, riskThreshold, p99ThresholdMs,
                                       {ramPct, cpuMaxPct, headroomPct, saturationPct, loadFactor}, out, outRecovery);
    } catch (...) {
        // Out of memory while walking, logging or recording a cooldown: report that nothing
        // was found, with the record cleared as the profiler's own export leaves it.
        if (out) std::memset(out, 0, sizeof *out);
        return 0;
    }
}

}  // extern "C"
