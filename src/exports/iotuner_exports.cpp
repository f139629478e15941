// The I/O tuner's exports.

#include "iotuner/quarantine/hard_quarantine.h"
#include "iotuner/tuner/inverse_priority.h"
#include "iotuner/tuner/io_tuner.h"
#include "iotuner/tuner/priority_restore.h"
#include "zelkor.h"

namespace it = zk::iotuner;

namespace {
// The exports that log are refused from the tuner's own log callback, whose thread holds
// the log lock: they return at once, as a call refused before doing anything.
bool inTunerCallback() { return it::tuner().log.callingBack(); }
}  // namespace

extern "C" {

ZK_API void ZK_CALL SetIOTunerDebug(int enabled) { it::tuner().log.setDebug(enabled != 0); }
ZK_API void ZK_CALL SetIOTunerLogCallback(IOTunerLogCallback cb) { it::tuner().log.setCallback(cb); }

ZK_API int32_t ZK_CALL Zelkor_IOTuner_ApplyInverseIo(uint32_t gamePid, int aggressive) {
    if (inTunerCallback()) return -1;
    return it::ApplyInverseIo(gamePid, aggressive != 0, false, it::TunerExport::ApplyInverseIo);
}
ZK_API int32_t ZK_CALL Zelkor_IOTuner_ApplyInverseIoEx(uint32_t gamePid, int aggressive, int streamingMode) {
    if (inTunerCallback()) return -1;
    return it::ApplyInverseIo(gamePid, aggressive != 0, streamingMode != 0, it::TunerExport::ApplyInverseIoEx);
}
ZK_API int32_t ZK_CALL Zelkor_IOTuner_LowerSinglePid(uint32_t pid, uint32_t gamePid, uint32_t enginePid,
                                                     int aggressive, int streamingMode) {
    if (inTunerCallback()) return 0;
    return it::LowerSinglePid(pid, gamePid, enginePid, aggressive != 0, streamingMode != 0);
}

ZK_API void ZK_CALL Zelkor_IOTuner_Restore(void) {
    if (!inTunerCallback()) it::RestorePriorities();
}

// The quarantine lowers through the tuner: refused from its callback before it changes anything.
ZK_API int32_t ZK_CALL Zelkor_HardQuarantine_Offender(int32_t pid, int32_t gamePid) {
    if (inTunerCallback()) return 0;
    return it::HardQuarantine(pid, gamePid);
}

}  // extern "C"
