#pragma once
// Enabling one privilege in the current process's token: open the token, look the
// privilege up, adjust it. Each module words its own failures and decides what counts as
// success, so the result says which step failed and what the adjustment left behind.

#include <cstdint>

namespace zk::platform {

struct PrivilegeResult {
    enum class Step : std::uint8_t { None, OpenToken, Lookup, Adjust };
    Step failed = Step::None;
    std::uint32_t error = 0;  // the failed step's error; after an adjustment, its last error

    // AdjustTokenPrivileges returned success (it does so for a token without the privilege).
    bool adjusted() const { return failed == Step::None; }
    // The privilege is really enabled: no ERROR_NOT_ALL_ASSIGNED either.
    bool enabled() const { return adjusted() && error == 0; }
};

PrivilegeResult enablePrivilege(const char* name);

}  // namespace zk::platform
