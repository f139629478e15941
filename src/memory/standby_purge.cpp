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

StandbyPurge::StandbyPurge() : setup_(std::make_unique<Setup>()) {}
StandbyPurge::~StandbyPurge() = default;

bool StandbyPurge::purge() {
    Setup& s = *setup_;
    std::call_once(s.once, [&s] {
        s.privilege = enableProfilePrivilege();
        s.routine = platform::api().hasRoutine(platform::Routine::NtSetSystemInformation);
    });
    if (!s.privilege || !s.routine) return false;
    const std::uint32_t command = kPurgeStandbyList;
    return platform::api().ntSetSystemInformation(win::SystemMemoryListInformation, &command,
                                                  sizeof command) >= 0;
}

void StandbyPurge::resetForTests() { setup_ = std::make_unique<Setup>(); }

}  // namespace zk::memory
