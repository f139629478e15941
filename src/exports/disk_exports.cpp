// The disk warmup's and the SysMain toggle's exports. None lets an exception reach the host.

#include "disk/disk_log.h"
#include "disk/sysmain.h"
#include "disk/warmup.h"
#include "zelkor.h"

using zk::disk::diskLog;
using zk::disk::warmup;

extern "C" {

ZK_API uint32_t ZK_CALL ZelkorWarmupGameFolder(const zk_wchar* folder) {
    try {
        return warmup().run(reinterpret_cast<const char16_t*>(folder));
    } catch (...) {
        return 0;
    }
}

ZK_API int32_t ZK_CALL ZelkorCancelWarmup(void) {
    try {
        warmup().cancel();
    } catch (...) {
    }
    return 0;
}

ZK_API void ZK_CALL ZelkorShutdown(void) {
    try {
        warmup().shutdown();
    } catch (...) {
    }
}

ZK_API void ZK_CALL ZelkorRegisterDiskLogCallback(ZelkorDiskLogCallback callback) {
    try {
        diskLog().setCallback(callback);
    } catch (...) {
    }
}

ZK_API int32_t ZK_CALL ZelkorSetDiskLogLevel(int32_t level) {
    try {
        diskLog().setLevel(level);
    } catch (...) {
    }
    return 0;
}

ZK_API uint32_t ZK_CALL ZelkorToggleSysMain(int32_t disable) {
    try {
        return zk::disk::toggleSysMain(disable != 0);
    } catch (...) {
        return 0;
    }
}

ZK_API uint32_t ZK_CALL ZelkorGetSysMainStatus(void) {
    try {
        return zk::disk::sysMainStatus();
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
