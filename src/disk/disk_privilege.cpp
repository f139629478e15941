#include "disk/disk_privilege.h"

#include "platform/privilege.h"
#include "platform/win_constants.h"

namespace zk::disk {

int enablePrivilege(const char* name) {
    const platform::PrivilegeResult r = platform::enablePrivilege(name);
    // The warmup goes on without the privileges, so no caller reads this result.
    return r.adjusted() && r.error != win::ERROR_NOT_ALL_ASSIGNED ? 1 : 0;
}

void enableFilePrivileges() {
    enablePrivilege("SeBackupPrivilege");
    enablePrivilege("SeRestorePrivilege");
    enablePrivilege("SeChangeNotifyPrivilege");
}

}  // namespace zk::disk
