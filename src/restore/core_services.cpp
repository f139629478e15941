#include "restore/core_services.h"

#include <array>

#include "platform/platform.h"
#include "platform/service_wait.h"
#include "restore/restore_log.h"

namespace zk::restore {

namespace {

using platform::ServiceHandle;
using platform::ServiceStatus;

constexpr std::uint32_t kRunWaitMs = 15000;
constexpr std::uint32_t kPauseAfterStartMs = 60;

// Start type 2 automatic, 3 on demand; the delayed flag is written for automatic ones.
constexpr std::uint32_t kAuto = win::SERVICE_AUTO_START;
constexpr std::uint32_t kDemand = win::SERVICE_DEMAND_START;

constexpr std::array<ServiceDefault, 24> kCoreServiceDefaults{{
    {u"RpcSs", kAuto, false},
    {u"DcomLaunch", kAuto, false},
    {u"PlugPlay", kAuto, false},
    {u"Power", kAuto, false},
    {u"EventLog", kAuto, false},
    {u"Winmgmt", kAuto, false},
    {u"Dhcp", kAuto, false},
    {u"NlaSvc", kAuto, false},
    {u"Netman", kDemand, false},
    {u"LanmanWorkstation", kAuto, false},
    {u"LanmanServer", kAuto, false},
    {u"BFE", kAuto, false},
    {u"MpsSvc", kAuto, false},
    {u"Schedule", kAuto, false},
    {u"ProfSvc", kAuto, false},
    {u"W32Time", kDemand, false},
    {u"ShellHWDetection", kAuto, false},
    {u"Audiosrv", kAuto, false},
    {u"AudioEndpointBuilder", kAuto, false},
    {u"wuauserv", kDemand, false},
    {u"bits", kAuto, true},
    {u"cryptsvc", kAuto, false},
    {u"msiserver", kDemand, false},
    {u"trustedinstaller", kDemand, false},
}};

constexpr std::array<const char16_t*, 21> kCoreServicesToStart{
    u"RpcSs",   u"DcomLaunch",   u"PlugPlay",          u"Power",        u"EventLog",  u"Winmgmt",
    u"BFE",     u"MpsSvc",       u"Dhcp",              u"NlaSvc",       u"LanmanWorkstation",
    u"LanmanServer", u"Schedule", u"ProfSvc",          u"ShellHWDetection", u"Audiosrv",
    u"AudioEndpointBuilder", u"cryptsvc", u"msiserver", u"bits",        u"wuauserv"};

bool becomesRunning(const ServiceHandle& s) {
    return platform::waitForServiceState(s, win::SERVICE_RUNNING, kRunWaitMs);
}

bool startCoreService(const platform::ServiceManagerHandle& scm, const char16_t* name) {
    platform::Services& svc = platform::api().services();
    const ServiceHandle s = svc.openService(scm, name, win::SERVICE_QUERY_STATUS | win::SERVICE_START);
    if (!s) return false;
    ServiceStatus st{};
    if (!svc.queryServiceStatus(s, st)) return false;
    if (st.currentState == win::SERVICE_RUNNING) return true;
    if (st.currentState == win::SERVICE_START_PENDING) return becomesRunning(s);
    if (svc.startService(s)) return becomesRunning(s);
    return platform::lastError() == win::ERROR_SERVICE_ALREADY_RUNNING;
}

}  // namespace

std::span<const ServiceDefault> coreServiceDefaults() { return kCoreServiceDefaults; }
std::span<const char16_t* const> coreServicesToStart() { return kCoreServicesToStart; }

void applyCoreServiceDefaults(bool startServices) {
    platform::Services& svc = platform::api().services();
    const platform::ServiceManagerHandle scm = svc.openServiceManager(win::SC_MANAGER_CONNECT);
    if (!scm) {
        StatelessLogError("WARNING: OpenSCManager failed (core defaults skipped)");
        return;
    }
    std::uint32_t changed = 0;
    for (const ServiceDefault& row : kCoreServiceDefaults) {
        const ServiceHandle s = svc.openService(scm, row.name, win::SERVICE_CHANGE_CONFIG | win::SERVICE_QUERY_STATUS | win::SERVICE_START);
        if (!s || !svc.changeServiceStartType(s, row.startType)) continue;
        ++changed;
        if (row.startType == kAuto) svc.setDelayedAutoStart(s, row.delayed);  // its result does not count
    }
    StatelessLog("SUCCESS: Core service defaults applied (changed=" + std::to_string(changed) + ")");
    if (!startServices) return;
    std::uint32_t ok = 0;
    for (const char16_t* name : kCoreServicesToStart) {
        if (startCoreService(scm, name)) ++ok;
        platform::clocks().sleepMs(kPauseAfterStartMs);
    }
    StatelessLog("SUCCESS: Core services start attempted (ok=" + std::to_string(ok) + ")");
}

}  // namespace zk::restore
