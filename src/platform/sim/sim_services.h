#pragma once
// The simulated machine's service control manager: services by name (case-insensitive),
// their state and start type, the rights an open may get, and how long a start or a stop
// stays pending.

#include <cstdint>
#include <map>
#include <string>

#include "platform/sim/sim_core.h"

namespace zk::sim {

using platform::ServiceHandle;
using platform::ServiceManagerHandle;
using platform::ServiceStatus;

// The states between running and stopped that the library never asks for.
inline constexpr std::uint32_t kServiceContinuePending = 5, kServicePausePending = 6, kServicePaused = 7;

struct SimService {
    std::u16string name;
    std::uint32_t state = win::SERVICE_STOPPED;
    std::uint32_t startType = win::SERVICE_DEMAND_START;
    bool delayedAutoStart = false;
    std::uint32_t allowedAccess = 0xF01FF;  // SERVICE_ALL_ACCESS; an open asking more gets 5
    // Status queries that still see a start or stop pending before it completes.
    std::uint32_t pendingPolls = 0;
    // What is left of the current transition (set it with a pending state to script one).
    std::uint32_t pendingLeft = 0;
    std::uint32_t startError = 0;  // a start fails with this error when non-zero
    bool acceptsStop = true;       // it reports SERVICE_ACCEPT_STOP while it runs or is paused
    std::uint32_t processId = 0;
};

class SimServices final : public platform::Services {
public:
    SimServices(platform::Platform& owner, SimCore& core) : owner_(owner), core_(core) {}

    // The machine's side (caller holds the core lock).
    SimService& add(std::u16string name, std::uint32_t state, std::uint32_t startType);
    SimService* find(std::u16string_view name);

    ServiceManagerHandle openServiceManager(std::uint32_t access) override;
    ServiceHandle openService(const ServiceManagerHandle& manager, const char16_t* name,
                              std::uint32_t access) override;
    bool queryServiceStatus(const ServiceHandle& service, ServiceStatus& out) override;
    bool startService(const ServiceHandle& service) override;
    bool controlService(const ServiceHandle& service, std::uint32_t control, ServiceStatus& out) override;
    bool changeServiceStartType(const ServiceHandle& service, std::uint32_t startType) override;
    bool setDelayedAutoStart(const ServiceHandle& service, bool delayed) override;

private:
    // The open service behind h with every right in `needed`; sets the last error and
    // returns nullptr otherwise. Caller holds the lock.
    SimService* opened(const ServiceHandle& h, std::uint32_t needed);
    static ServiceStatus statusOf(const SimService& s);

    platform::Platform& owner_;
    SimCore& core_;
    std::map<std::u16string, SimService> services_;  // keyed by the folded name
};

}  // namespace zk::sim
