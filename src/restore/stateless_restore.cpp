#include "restore/stateless_restore.h"

#include "platform/privilege.h"
#include "restore/core_services.h"
#include "restore/process_normalize.h"
#include "restore/restore_log.h"
#include "restore/system_resets.h"

namespace zk::restore {

// No step stops the sequence; each reports through the log.
void statelessSystemRestore(bool startCoreServices, bool flushDns) {
    StatelessLog("=== STATELESS RESTORE START ===");
    platform::enablePrivilege("SeDebugPrivilege");  // without it fewer processes open; not reported
    normalizeUserProcesses();
    releaseTimerResolution();
    restoreBalancedScheme();
    applyCoreServiceDefaults(startCoreServices);
    if (flushDns) flushDnsCache();
    restoreIoTunerPriorities();
    StatelessLog("=== STATELESS RESTORE COMPLETE ===");
}

}  // namespace zk::restore
