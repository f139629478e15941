#pragma once
// Waiting for a service to reach a state, as the service controllers do: poll the status
// every 250 ms until the state is there, a query fails, or the time is up.

#include <cstdint>

#include "platform/handles.h"

namespace zk::platform {

inline constexpr std::uint32_t kServicePollMs = 250;

// True as soon as the service is in `wanted`; false when a status query fails or when
// limitMs have passed on the tick clock.
bool waitForServiceState(const ServiceHandle& service, std::uint32_t wanted, std::uint32_t limitMs);

}  // namespace zk::platform
