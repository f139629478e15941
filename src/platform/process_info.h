#pragma once
// Typed wrappers of the native process information classes the modules read and set, so
// that they neither size buffers nor copy bytes. Each returns the NTSTATUS and writes its
// output only on success.

#include <cstdint>

#include "platform/platform.h"

namespace zk::platform {

// A query right.
inline std::int32_t queryIoPriority(const ProcessHandle& process, std::uint32_t& priority) {
    std::uint32_t value = 0, returned = 0;
    const std::int32_t status =
        processes().ntQueryInformationProcess(process, win::ProcessIoPriority, &value, sizeof value, &returned);
    if (win::ntSuccess(status)) priority = value;
    return status;
}

// PROCESS_SET_INFORMATION; high (3) takes SeIncreaseBasePriorityPrivilege.
inline std::int32_t setIoPriority(const ProcessHandle& process, std::uint32_t priority) {
    return processes().ntSetInformationProcess(process, win::ProcessIoPriority, &priority, sizeof priority);
}

// A query right: whether the process is critical (breaks the system when it ends).
inline std::int32_t queryBreakOnTermination(const ProcessHandle& process, bool& critical) {
    std::uint32_t value = 0, returned = 0;
    const std::int32_t status =
        processes().ntQueryInformationProcess(process, win::ProcessBreakOnTermination, &value, sizeof value, &returned);
    if (win::ntSuccess(status)) critical = value != 0;
    return status;
}

}  // namespace zk::platform
