// The offender throttle's exports.

#include "iotuner/throttle/offender_throttle.h"
#include "iotuner/throttle/offender_throttle_log.h"
#include "zelkor.h"

using zk::iotuner::OffenderRequest;
using zk::iotuner::offenderThrottle;

namespace {

OffenderRequest request(uint32_t pid, bool debug, const zk_wchar* image, uint32_t* lastError, ThrottleLogFn log) {
    OffenderRequest r;
    r.pid = pid;
    r.enableDebugPrivilege = debug;
    r.expectedImage = reinterpret_cast<const char16_t*>(image);
    r.lastError = lastError;
    r.log = log;
    return r;
}

// The W exports log through the wide callback: from that callback, whose thread holds the
// log lock, they return 0 at once with ERROR_POSSIBLE_DEADLOCK and log nothing.
constexpr uint32_t kErrorPossibleDeadlock = 1131;
bool refusedInCallback(uint32_t* lastError) {
    if (!offenderThrottle().callingBack()) return false;
    if (lastError) *lastError = kErrorPossibleDeadlock;
    return true;
}

}  // namespace

extern "C" {

ZK_API uint8_t ZK_CALL ThrottleOffenderByPid(uint32_t pid, uint8_t enableDebugPrivilege, uint8_t trimWorkingSet,
                                             const zk_wchar* expectedImage, uint32_t* lastError, ThrottleLogFn log) {
    return offenderThrottle().throttle(request(pid, enableDebugPrivilege != 0, expectedImage, lastError, log),
                                       trimWorkingSet != 0);
}

ZK_API uint8_t ZK_CALL RestoreOffenderByPid(uint32_t pid, uint8_t enableDebugPrivilege, const zk_wchar* expectedImage,
                                            uint32_t* lastError, ThrottleLogFn log) {
    return offenderThrottle().restore(request(pid, enableDebugPrivilege != 0, expectedImage, lastError, log));
}

ZK_API int32_t ZK_CALL Zelkor_Throttle_Initialize(void) {
    offenderThrottle().debugPrivilege();
    return 1;
}

ZK_API int32_t ZK_CALL Zelkor_Throttle_OffenderW(uint32_t pid, int32_t enableDebugPrivilege, int32_t trimWorkingSet,
                                                 const zk_wchar* expectedImage, uint32_t* lastError) {
    if (refusedInCallback(lastError)) return 0;
    const auto r = request(pid, enableDebugPrivilege != 0, expectedImage, lastError, zk::iotuner::wideLogAdapter);
    return offenderThrottle().throttle(r, trimWorkingSet != 0) ? 1 : 0;
}

ZK_API int32_t ZK_CALL Zelkor_Restore_OffenderW(uint32_t pid, int32_t enableDebugPrivilege,
                                                const zk_wchar* expectedImage, uint32_t* lastError) {
    if (refusedInCallback(lastError)) return 0;
    const auto r = request(pid, enableDebugPrivilege != 0, expectedImage, lastError, zk::iotuner::wideLogAdapter);
    return offenderThrottle().restore(r) ? 1 : 0;
}

ZK_API void ZK_CALL Zelkor_Throttle_SetLogCallbackW(ThrottleLogCallbackW cb) { offenderThrottle().setLogCallback(cb); }

}  // extern "C"
