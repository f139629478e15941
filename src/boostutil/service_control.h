#pragma once
// Starting and stopping services by name, one at a time, waiting for each to settle.

#include <cstdint>
#include <string>

namespace zk::boostutil {

// True when the service runs afterwards (started, already running, or became running).
bool StartOneService(const std::u16string& name, std::uint32_t waitLimitMs);
// True when this call stopped the service.
bool StopOneService(const std::u16string& name);

std::uint32_t startServices(const char16_t* csv, std::int32_t delayMs);
// stoppedOut: capacity stoppedOutLen characters with the terminator.
std::uint32_t stopServices(const char16_t* csv, char16_t* stoppedOut, std::int32_t stoppedOutLen);

}  // namespace zk::boostutil
