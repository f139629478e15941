// The recovery settings, counters and log channel exports.

#include "stutter/recovery_log.h"
#include "stutter/recovery_state.h"
#include "zelkor.h"

using zk::stutter::recoveryLog;
using zk::stutter::recoveryState;

extern "C" {

ZK_API void ZK_CALL QTM_SetRecoveryConfig(const QtmRecoveryConfig* cfg) {
    if (cfg) recoveryState().setConfig(*cfg);
}

ZK_API void ZK_CALL QTM_GetRecoveryMetrics(QtmRecoveryMetrics* out) {
    if (out) *out = recoveryState().metrics();
}

ZK_API void ZK_CALL QTM_Stutter_SetLogCallback(QtmStutterLogCallback cb) { recoveryLog().setCallback(cb); }

ZK_API void ZK_CALL QTM_Stutter_SetMinLogLevel(int32_t level) { recoveryLog().setMinLevel(level); }

}  // extern "C"
