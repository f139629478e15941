// The stateless restore's exports. None lets an exception out; the restore still answers 1.

#include "restore/restore_log.h"
#include "restore/stateless_restore.h"
#include "zelkor.h"

namespace rs = zk::restore;

extern "C" {

ZK_API int32_t ZK_CALL Zelkor_Stateless_System_Restore(int32_t startCoreServices, int32_t flushDns) {
    try {
        rs::statelessSystemRestore(startCoreServices != 0, flushDns != 0);
    } catch (...) {
    }
    return 1;
}

ZK_API int32_t ZK_CALL Zelkor_StatelessRestore_PollLogA(char* buffer, int32_t bufferSize) {
    try {
        return rs::restoreLog().poll(buffer, bufferSize) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

ZK_API uint32_t ZK_CALL Zelkor_StatelessRestore_GetQueuedLogCount(void) {
    try {
        return rs::restoreLog().count();
    } catch (...) {
        return 0;
    }
}

ZK_API void ZK_CALL Zelkor_StatelessRestore_ClearLogs(void) {
    try {
        rs::restoreLog().clear();
    } catch (...) {
    }
}

ZK_API void ZK_CALL Zelkor_StatelessRestore_SetLogCallbackA(StatelessRestoreLogCallbackA cb) {
    try {
        rs::restoreLog().setCallback(cb);
    } catch (...) {
    }
}

}  // extern "C"
