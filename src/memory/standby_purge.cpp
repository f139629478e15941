#include "memory/standby_purge.h"

#include <cstdint>

#include "platform/platform.h"
#include "platform/privilege.h"
#include "platform/system_info.h"

namespace zk::memory {

namespace {

constexpr char kProfilePrivilege[] = "SeProfileSingleProcessPrivilege";

}  // namespace

bool enableProfilePrivilege() {
    // AdjustTokenPrivileges succeeds for a token that lacks the privilege; only the last
    // error (ERROR_NOT_ALL_ASSIGNED) tells.
    return platform::enablePrivilege(kProfilePrivilege).enabled();
}

bool StandbyPurge::purge() {
    const bool ready = ready_.get([] {
        const bool privilege = enableProfilePrivilege();
        return platform::modules().hasRoutine(platform::Routine::NtSetSystemInformation) && privilege;
    });
    if (!ready) return false;
    return win::ntSuccess(platform::purgeStandbyList());
}

void StandbyPurge::resetForTests() { ready_.reset(); }

}  // namespace zk::memory
