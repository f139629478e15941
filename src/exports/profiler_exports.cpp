// The offender profiler's exports.

#include <cstring>

#include "stutter/profiler.h"
#include "zelkor.h"

using zk::stutter::profiler;

extern "C" {

ZK_API void ZK_CALL PF_Init(void) { profiler().init(); }
ZK_API void ZK_CALL PF_Reset(void) { profiler().reset(); }
ZK_API void ZK_CALL PF_SetLogCallback(PfLogCallback cb) { profiler().setLogCallback(cb); }

ZK_API int32_t ZK_CALL PF_GetRootCause(uint32_t gamePid, double risk, double p99Ms, PfRootCause* out) {
    try {
        return profiler().getRootCause(gamePid, risk, p99Ms, out);
    } catch (...) {
        // Out of memory while growing the history: report no offender.
        // The walk clears the record before anything can throw; this does not rely on it.
        if (out) std::memset(out, 0, sizeof *out);
        return 0;
    }
}

}  // extern "C"
