#pragma once
// The service control manager on the local machine. Each call mirrors one Windows call;
// the right a service handle needs is named beside it. Outputs are written only on success.

#include <cstdint>

#include "platform/handles.h"

namespace zk::platform {

// SERVICE_STATUS_PROCESS.
struct ServiceStatus {
    std::uint32_t serviceType = 0;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
    std::uint32_t processId = 0;
    std::uint32_t serviceFlags = 0;
};

class Services {
public:
    virtual ~Services() = default;

    // OpenSCManagerW on the local machine's active database.
    virtual ServiceManagerHandle openServiceManager(std::uint32_t access) = 0;
    // OpenServiceW; ERROR_SERVICE_DOES_NOT_EXIST for an unknown name.
    virtual ServiceHandle openService(const ServiceManagerHandle& manager, const char16_t* name,
                                      std::uint32_t access) = 0;
    // SERVICE_QUERY_STATUS: QueryServiceStatusEx.
    virtual bool queryServiceStatus(const ServiceHandle& service, ServiceStatus& out) = 0;
    // SERVICE_START: StartServiceW with no arguments.
    virtual bool startService(const ServiceHandle& service) = 0;
    // The right the control needs (SERVICE_STOP for a stop): ControlService; out is the
    // status the service reported.
    virtual bool controlService(const ServiceHandle& service, std::uint32_t control, ServiceStatus& out) = 0;
    // SERVICE_CHANGE_CONFIG: ChangeServiceConfigW with every other field unchanged.
    virtual bool changeServiceStartType(const ServiceHandle& service, std::uint32_t startType) = 0;
    // SERVICE_CHANGE_CONFIG: ChangeServiceConfig2W, SERVICE_CONFIG_DELAYED_AUTO_START_INFO.
    virtual bool setDelayedAutoStart(const ServiceHandle& service, bool delayed) = 0;
};

}  // namespace zk::platform
