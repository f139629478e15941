#include "platform/win32/win32_areas.h"

#include <winsvc.h>

namespace zk::platform::win32 {

namespace {

SC_HANDLE sc(RawHandle h) { return reinterpret_cast<SC_HANDLE>(h); }
RawHandle fromSc(SC_HANDLE h) { return reinterpret_cast<RawHandle>(h); }

// The fields SERVICE_STATUS and SERVICE_STATUS_PROCESS share.
template <typename S>
ServiceStatus toStatus(const S& s) {
    ServiceStatus out;
    out.serviceType = s.dwServiceType;
    out.currentState = s.dwCurrentState;
    out.controlsAccepted = s.dwControlsAccepted;
    out.win32ExitCode = s.dwWin32ExitCode;
    out.serviceSpecificExitCode = s.dwServiceSpecificExitCode;
    out.checkPoint = s.dwCheckPoint;
    out.waitHint = s.dwWaitHint;
    return out;
}

}  // namespace

ServiceManagerHandle Win32Services::openServiceManager(std::uint32_t access) {
    return ServiceManagerHandle(&owner_, fromSc(OpenSCManagerW(nullptr, nullptr, access)));
}

ServiceHandle Win32Services::openService(const ServiceManagerHandle& manager, const char16_t* name,
                                         std::uint32_t access) {
    return ServiceHandle(&owner_,
                         fromSc(OpenServiceW(sc(manager.get()), reinterpret_cast<const wchar_t*>(name), access)));
}

bool Win32Services::queryServiceStatus(const ServiceHandle& service, ServiceStatus& out) {
    SERVICE_STATUS_PROCESS s{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(sc(service.get()), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&s), sizeof s,
                              &needed))
        return false;
    out = toStatus(s);
    out.processId = s.dwProcessId;
    out.serviceFlags = s.dwServiceFlags;
    return true;
}

bool Win32Services::startService(const ServiceHandle& service) {
    return StartServiceW(sc(service.get()), 0, nullptr) != FALSE;
}

bool Win32Services::controlService(const ServiceHandle& service, std::uint32_t control, ServiceStatus& out) {
    SERVICE_STATUS s{};
    if (!ControlService(sc(service.get()), control, &s)) return false;
    out = toStatus(s);
    return true;
}

bool Win32Services::changeServiceStartType(const ServiceHandle& service, std::uint32_t startType) {
    return ChangeServiceConfigW(sc(service.get()), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
}

bool Win32Services::setDelayedAutoStart(const ServiceHandle& service, bool delayed) {
    SERVICE_DELAYED_AUTO_START_INFO info{};
    info.fDelayedAutostart = delayed ? TRUE : FALSE;
    return ChangeServiceConfig2W(sc(service.get()), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info) != FALSE;
}

}  // namespace zk::platform::win32
