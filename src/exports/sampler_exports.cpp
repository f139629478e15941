// The sampling engine's exports.

#include "stutter/sampler.h"
#include "zelkor.h"

using zk::stutter::sampler;

extern "C" {

ZK_API int ZK_CALL QTM_Start(void) { return sampler().start(); }
ZK_API void ZK_CALL QTM_Stop(void) { sampler().stop(); }
ZK_API void ZK_CALL QTM_GetConfig(QtmConfig* out) { sampler().getConfig(out); }
ZK_API void ZK_CALL QTM_SetConfig(QtmConfig* cfg) { sampler().setConfig(cfg); }
ZK_API void ZK_CALL QTM_GetMetrics(QtmMetrics* out) { sampler().getMetrics(out); }
ZK_API double ZK_CALL QTM_GetStutterRisk(void) { return sampler().risk(); }
ZK_API void ZK_CALL QTM_ResetMetrics(void) { sampler().resetMetrics(); }
ZK_API void ZK_CALL QTM_SetLogCallback(QtmLogCallback cb) { sampler().setLogCallback(cb); }

}  // extern "C"
