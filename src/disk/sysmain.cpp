#include "disk/sysmain.h"

#include "disk/disk_log.h"
#include "disk/disk_privilege.h"
#include "platform/platform.h"

namespace zk::disk {

namespace {

namespace pf = platform;

constexpr const char16_t* kSysMain = u"SysMain";

// Opens the service with `access` and runs op on it: 1 without running it when the
// service does not exist, 0 when the manager or the service cannot be opened.
template <typename Op>
int onService(const char16_t* name, std::uint32_t access, Op op) {
    pf::Services& s = pf::api().services();
    const pf::ServiceManagerHandle manager = s.openServiceManager(win::SC_MANAGER_CONNECT);
    if (!manager) return 0;
    {
        const pf::ServiceHandle probe = s.openService(manager, name, win::SERVICE_QUERY_STATUS);
        if (!probe && pf::lastError() == win::ERROR_SERVICE_DOES_NOT_EXIST) return 1;
    }
    const pf::ServiceHandle service = s.openService(manager, name, access);
    if (!service) return 0;
    return op(s, service);
}

}  // namespace

int setServiceStartType(const char16_t* name, std::uint32_t startType) {
    return onService(name, win::SERVICE_CHANGE_CONFIG, [&](pf::Services& s, const pf::ServiceHandle& h) {
        const bool ok = s.changeServiceStartType(h, startType);
        diskLog().log(kDetail, u"[Zelkor] Service type changed: ", name);
        return ok ? 1 : 0;
    });
}

int startServiceByName(const char16_t* name) {
    return onService(name, win::SERVICE_START, [&](pf::Services& s, const pf::ServiceHandle& h) {
        const bool ok = s.startService(h);
        const std::uint32_t error = ok ? 0 : pf::lastError();
        diskLog().log(kDetail, u"[Zelkor] Service started: ", name);
        return ok || error == win::ERROR_SERVICE_ALREADY_RUNNING ? 1 : 0;
    });
}

int stopServiceByName(const char16_t* name) {
    return onService(name, win::SERVICE_STOP | win::SERVICE_QUERY_STATUS,
                     [&](pf::Services& s, const pf::ServiceHandle& h) {
                         pf::ServiceStatus status;
                         const bool ok = s.controlService(h, win::SERVICE_CONTROL_STOP, status);
                         const std::uint32_t error = ok ? 0 : pf::lastError();
                         diskLog().log(kDetail, u"[Zelkor] Service stopped: ", name);
                         // The toggle does not read this result: the start type it sets next decides.
                         return ok || error == win::ERROR_SERVICE_NOT_ACTIVE ? 1 : 0;
                     });
}

std::uint32_t toggleSysMain(bool disable) {
    diskLog().log(kMilestone, u"[Zelkor] Toggling SysMain...");
    enableFilePrivileges();
    if (disable) {
        stopServiceByName(kSysMain);
        const int result = setServiceStartType(kSysMain, win::SERVICE_DISABLED);
        diskLog().log(kMilestone, u"[Zelkor] SysMain disabled.");
        return static_cast<std::uint32_t>(result);
    }
    setServiceStartType(kSysMain, win::SERVICE_AUTO_START);
    const int result = startServiceByName(kSysMain);
    diskLog().log(kMilestone, u"[Zelkor] SysMain enabled.");
    return static_cast<std::uint32_t>(result);
}

std::uint32_t sysMainStatus() {
    pf::Services& s = pf::api().services();
    const pf::ServiceManagerHandle manager = s.openServiceManager(win::SC_MANAGER_CONNECT);
    if (!manager) return 0;
    const pf::ServiceHandle service = s.openService(manager, kSysMain, win::SERVICE_QUERY_STATUS);
    if (!service) return 0;
    pf::ServiceStatus status;
    if (!s.queryServiceStatus(service, status)) return 0;
    diskLog().log(kDetail, u"[Zelkor] SysMain status queried.");
    return status.currentState;
}

}  // namespace zk::disk
