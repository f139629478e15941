#pragma once
// The service control manager. Its handles (ServiceManagerHandle, ServiceHandle) close
// with CloseServiceHandle; the operations arrive with the modules that control services.

namespace zk::platform {

class Services {
public:
    virtual ~Services() = default;
};

}  // namespace zk::platform
