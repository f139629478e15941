#include "restore/core_services.h"

#include <array>

#include "platform/platform.h"
#include "restore/restore_log.h"

namespace zk::restore {

namespace {

using platform::ServiceHandle;
using platform::ServiceStatus;

constexpr std::uint32_t kScManagerConnect = 0x0001;
constexpr std::uint32_t kServiceChangeConfig = 0x0002;
constexpr std::uint32_t kServiceQueryStatus = 0x0004;
constexpr std::uint32_t kServiceStart = 0x0010;
constexpr std::uint32_t kStartPending = 2;
constexpr std::uint32_t kRunning = 4;
constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr std::uint32_t kAutoStart = 2;
constexpr std::uint32_t kDemandStart = 3;
constexpr std::uint32_t kRunWaitMs = 15000;
constexpr std::uint32_t kPollMs = 250;
constexpr std::uint32_t kPauseAfterStartMs = 60;

struct ServiceDefault {
    const char16_t* name;
    std::uint32_t startType;
    bool delayed;
};

constexpr std::array<ServiceDefault, 24> kCoreServiceDefaults{{
    {u"RpcSs", kAutoStart, false},           {u"DcomLaunch", kAutoStart, false},
    {u"PlugPlay", kAutoStart, false},        {u"Power", kAutoStart, false},
    {u"EventLog", kAutoStart, false},        {u"Winmgmt", kAutoStart, false},
    {u"Dhcp", kAutoStart, false},            {u"NlaSvc", kAutoStart, false},
    {u"Netman", kDemandStart, false},        {u"LanmanWorkstation", kAutoStart, false},
    {u"LanmanServer", kAutoStart, false},    {u"BFE", kAutoStart, false},
    {u"MpsSvc", kAutoStart, false},          {u"Schedule", kAutoStart, false},
    {u"ProfSvc", kAutoStart, false},         {u"W32Time", kDemandStart, false},
    {u"ShellHWDetection", kAutoStart, false}, {u"Audiosrv", kAutoStart, false},
    {u"AudioEndpointBuilder", kAutoStart, false}, {u"wuauserv", kDemandStart, false},
    {u"bits", kAutoStart, true},             {u"cryptsvc", kAutoStart, false},
    {u"msiserver", kDemandStart, false},     {u"trustedinstaller", kDemandStart, false},
}};

constexpr std::array<const char16_t*, 21> kCoreServicesToStart{
    u"RpcSs",   u"DcomLaunch",   u"PlugPlay",          u"Power",        u"EventLog",  u"Winmgmt",
    u"BFE",     u"MpsSvc",       u"Dhcp",              u"NlaSvc",       u"LanmanWorkstation",
    u"LanmanServer", u"Schedule", u"ProfSvc",          u"ShellHWDetection", u"Audiosrv",
    u"AudioEndpointBuilder", u"cryptsvc", u"msiserver", u"bits",        u"wuauserv"};

bool becomesRunning(const ServiceHandle& s) {
    platform::Clocks& clock = platform::clocks();
    const std::uint64_t start = clock.tickCount64();
    for (;;) {
        ServiceStatus st{};
        if (!platform::api().services().queryServiceStatus(s, st)) return false;
        if (st.currentState == kRunning) return true;
        if (clock.tickCount64() - start >= kRunWaitMs) return false;
        clock.sleepMs(kPollMs);
    }
}

bool startCoreService(const platform::ServiceManagerHandle& scm, const char16_t* name) {
    platform::Services& svc = platform::api().services();
    const ServiceHandle s = svc.openService(scm, name, kServiceQueryStatus | kServiceStart);
    if (!s) return false;
    ServiceStatus st{};
    if (!svc.queryServiceStatus(s, st)) return false;
    if (st.currentState == kRunning) return true;
    if (st.currentState == kStartPending) return becomesRunning(s);
    if (svc.startService(s)) return becomesRunning(s);
    return platform::lastError() == kErrorServiceAlreadyRunning;
}

}  // namespace

void applyCoreServiceDefaults(bool startServices) {
    platform::Services& svc = platform::api().services();
    const platform::ServiceManagerHandle scm = svc.openServiceManager(kScManagerConnect);
    if (!scm) {
        StatelessLogError("WARNING: OpenSCManager failed (core defaults skipped)");
        return;
    }
    std::uint32_t changed = 0;
    for (const ServiceDefault& row : kCoreServiceDefaults) {
        const ServiceHandle s = svc.openService(scm, row.name, kServiceChangeConfig | kServiceQueryStatus | kServiceStart);
        if (!s || !svc.changeServiceStartType(s, row.startType)) continue;
        ++changed;
        if (row.startType == kAutoStart) svc.setDelayedAutoStart(s, row.delayed);  // its result does not count
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
