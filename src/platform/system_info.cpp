#include "platform/system_info.h"

#include <cstring>

#include "platform/platform.h"

namespace zk::platform {

namespace {

// SYSTEM_PERFORMANCE_INFORMATION: four 64-bit transfer figures, then 32-bit fields;
// PageFaultCount follows seven of them. The record has grown over the releases (312
// bytes on the oldest, more since) and the query refuses a buffer smaller than the
// running system's record, so the buffer leaves room to spare.
constexpr std::uint32_t kPageFaultCountOffset = 4 * 8 + 7 * 4;
constexpr std::uint32_t kPerformanceBufferBytes = 1024;
constexpr std::uint32_t kMemoryPurgeStandbyList = 4;  // SYSTEM_MEMORY_LIST_COMMAND

}  // namespace

bool systemPageFaultCount(std::uint32_t& out) {
    alignas(8) unsigned char buffer[kPerformanceBufferBytes];
    std::uint32_t returned = 0;
    const std::int32_t status =
        system().ntQuerySystemInformation(win::SystemPerformanceInformation, buffer, sizeof buffer, &returned);
    if (!win::ntSuccess(status) || returned < kPageFaultCountOffset + 4) return false;
    std::memcpy(&out, buffer + kPageFaultCountOffset, sizeof out);
    return true;
}

std::int32_t purgeStandbyList() {
    const std::uint32_t command = kMemoryPurgeStandbyList;
    return system().ntSetSystemInformation(win::SystemMemoryListInformation, &command, sizeof command);
}

}  // namespace zk::platform
