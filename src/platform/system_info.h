#pragma once
// Typed reads of system information records, so that modules neither size buffers nor
// copy bytes out of them.

#include <cstdint>

namespace zk::platform {

// SYSTEM_PERFORMANCE_INFORMATION's PageFaultCount: the system-wide page-fault total, a
// 32-bit counter that wraps. False when the query is missing or fails.
bool systemPageFaultCount(std::uint32_t& out);

// NtSetSystemInformation(SystemMemoryListInformation, MemoryPurgeStandbyList): empties the
// standby list. Returns the NTSTATUS; the caller needs SeProfileSingleProcessPrivilege.
std::int32_t purgeStandbyList();

}  // namespace zk::platform
