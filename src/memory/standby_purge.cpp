#include "memory/standby_purge.h"

#include <cstdint>

#include "platform/platform.h"

namespace zk::memory {

namespace {

constexpr char kProfilePrivilege[] = "SeProfileSingleProcessPrivilege";
constexpr std::uint32_t kPurgeStandbyList = 4;  // MemoryPurgeStandbyList command

}  // namespace

bool enableProfilePrivilege() {
    auto& os = platform::api();
    platform::UniqueHandle token = os.openProcessToken(win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY);
    if (!token) return false;
    std::uint64_t luid = 0;
    if (!os.lookupPrivilegeValue(kProfilePrivilege, luid)) return false;
    // AdjustTokenPrivileges succeeds for a token that lacks the privilege; only the last
    // error (ERROR_NOT_ALL_ASSIGNED) tells.
    if (!os.adjustTokenPrivilege(token.get(), luid, true)) return false;
    return os.lastError() == win::ERROR_SUCCESS;
}

bool StandbyPurge::purge() {
    const bool ready = ready_.get([] {
        const bool privilege = enableProfilePrivilege();
        return platform::api().hasRoutine(platform::Routine::NtSetSystemInformation) && privilege;
    });
    if (!ready) return false;
    const std::uint32_t command = kPurgeStandbyList;
    return platform::api().ntSetSystemInformation(win::SystemMemoryListInformation, &command,
                                                  sizeof command) >= 0;
}

void StandbyPurge::resetForTests() { ready_.reset(); }

}  // namespace zk::memory
