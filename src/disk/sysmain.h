#pragma once
// The system's own prefetch service, SysMain, switched off or on through three small
// service-control steps that log on the disk channel. A service that does not exist
// counts as success: there is nothing to switch.

#include <cstdint>

namespace zk::disk {

int setServiceStartType(const char16_t* name, std::uint32_t startType);
int startServiceByName(const char16_t* name);
// Issues the stop and does not wait for the service to reach the stopped state.
int stopServiceByName(const char16_t* name);

// Non-zero: stop, then disable (the start-type result); zero: automatic start, then start
// (the start result).
std::uint32_t toggleSysMain(bool disable);
// The service's current state (1 stopped ... 7 paused), 0 when it cannot be read.
std::uint32_t sysMainStatus();

}  // namespace zk::disk
