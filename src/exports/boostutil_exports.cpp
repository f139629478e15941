// The service and background-program exports. Each sets the module up first and lets no
// exception out (an allocation failure is the only one possible).

#include "boostutil/background_programs.h"
#include "boostutil/boostutil_log.h"
#include "boostutil/service_control.h"
#include "zelkor.h"

namespace bu = zk::boostutil;

namespace {

const char16_t* text(const zk_wchar* s) { return reinterpret_cast<const char16_t*>(s); }

}  // namespace

extern "C" {

ZK_API int32_t ZK_CALL Zelkor_Restore_SetLogCallback(RestoreLogCallbackW cb) {
    try {
        bu::boostUtil().ensureInitialised();
        bu::boostUtil().setCallback(cb);
        bu::BoostLog(u"[BoostUtil] Logging enabled.");
    } catch (...) {
    }
    return 0;
}

ZK_API uint8_t ZK_CALL Zelkor_IsStreamingActiveW(void) {
    try {
        bu::boostUtil().ensureInitialised();
        return bu::isStreamingActive() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

ZK_API uint32_t ZK_CALL Zelkor_KillBackgroundProcessesW(int32_t aggressive, int32_t protectGamingTools) {
    try {
        bu::boostUtil().ensureInitialised();
        return bu::killBackgroundProcesses(aggressive != 0, protectGamingTools != 0);
    } catch (...) {
        return 0;
    }
}

ZK_API uint32_t ZK_CALL Zelkor_StartServicesW(const zk_wchar* servicesCsv, int32_t delayMs) {
    try {
        bu::boostUtil().ensureInitialised();
        return bu::startServices(text(servicesCsv), delayMs);
    } catch (...) {
        return 0;
    }
}

ZK_API uint32_t ZK_CALL Zelkor_StopServicesW(const zk_wchar* servicesCsv, zk_wchar* stoppedOut,
                                             int32_t stoppedOutLen) {
    try {
        bu::boostUtil().ensureInitialised();
        return bu::stopServices(text(servicesCsv), reinterpret_cast<char16_t*>(stoppedOut), stoppedOutLen);
    } catch (...) {
        if (stoppedOut && stoppedOutLen >= 1) stoppedOut[0] = 0;
        return 0;
    }
}

}  // extern "C"
