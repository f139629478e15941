#include "boostutil/service_control.h"

#include <algorithm>

#include "boostutil/boostutil_log.h"
#include "boostutil/process_names.h"
#include "boostutil/service_list.h"
#include "platform/platform.h"
#include "platform/service_wait.h"

namespace zk::boostutil {

namespace {

using platform::ServiceHandle;
using platform::ServiceStatus;

constexpr std::uint32_t kStartAttempts = 3;
constexpr std::uint32_t kPauseBetweenAttemptsMs = 600;
constexpr std::uint32_t kStopWaitMs = 5000;
constexpr std::uint32_t kStartWaitMs = 8000;
constexpr std::int32_t kMinDelayMs = 50;

std::u16string decimal(std::uint32_t v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

}  // namespace

bool StartOneService(const std::u16string& name, std::uint32_t waitLimitMs) {
    if (!isValidServiceName(name)) {
        BoostLog(u"[Start] Invalid service name, skip: " + name);
        return false;
    }
    platform::Services& svc = platform::api().services();
    const platform::ServiceManagerHandle scm = svc.openServiceManager(win::SC_MANAGER_CONNECT);
    if (!scm) {
        BoostLog(u"[Start] OpenSCManager failed.");
        return false;
    }
    const ServiceHandle s = svc.openService(scm, name.c_str(), win::SERVICE_QUERY_STATUS | win::SERVICE_START);
    if (!s) {
        BoostLog(u"[Start] Service not found or access denied: " + name);
        return false;
    }
    ServiceStatus st{};
    if (!svc.queryServiceStatus(s, st)) {
        BoostLog(u"[Start] QueryServiceStatusEx failed: " + name);
        return false;
    }
    if (st.currentState == win::SERVICE_RUNNING) {
        BoostLog(u"[Start] Already running: " + name);
        return true;
    }
    if (st.currentState == win::SERVICE_START_PENDING) {
        if (platform::waitForServiceState(s, win::SERVICE_RUNNING, waitLimitMs)) {
            BoostLog(u"[Start] Became running (was pending): " + name);
            return true;
        }
        BoostLog(u"[Start] Still pending after timeout, skip: " + name);
        return false;
    }
    for (std::uint32_t attempt = 1; attempt <= kStartAttempts; ++attempt) {
        if (svc.startService(s)) {
            if (platform::waitForServiceState(s, win::SERVICE_RUNNING, waitLimitMs)) {
                BoostLog(u"[Start] Started: " + name);
                return true;
            }
            BoostLog(u"[Start] Start issued but not running yet: " + name);
        } else {
            const std::uint32_t err = platform::lastError();
            if (err == win::ERROR_SERVICE_ALREADY_RUNNING) {
                BoostLog(u"[Start] Already running (race): " + name);
                return true;
            }
            if (err == win::ERROR_SERVICE_DISABLED) {
                BoostLog(u"[Start] Disabled, can't start: " + name);
                return false;
            }
            if (err == win::ERROR_ACCESS_DENIED) {
                BoostLog(u"[Start] Access denied: " + name);
                return false;
            }
            BoostLog(u"[Start] StartService failed: " + name + u" err=" + decimal(err));
        }
        if (attempt < kStartAttempts) platform::clocks().sleepMs(kPauseBetweenAttemptsMs);
    }
    return false;
}

bool StopOneService(const std::u16string& name) {
    if (!isValidServiceName(name)) {
        BoostLog(u"[Stop] Invalid service name, skip: " + name);
        return false;
    }
    if (isCriticalService(name)) {
        BoostLog(u"[Stop] Service on critical blacklist, skip: " + name);
        return false;
    }
    platform::Services& svc = platform::api().services();
    const platform::ServiceManagerHandle scm = svc.openServiceManager(win::SC_MANAGER_CONNECT);
    if (!scm) {
        BoostLog(u"[Stop] OpenSCManager failed.");
        return false;
    }
    const ServiceHandle s = svc.openService(scm, name.c_str(), win::SERVICE_STOP | win::SERVICE_QUERY_STATUS);
    // Without it the status query below fails on the null handle alike; the early return says so plainly.
    if (!s) return false;
    ServiceStatus st{};
    if (!svc.queryServiceStatus(s, st) || st.currentState == win::SERVICE_STOPPED) return false;
    if (!svc.controlService(s, win::SERVICE_CONTROL_STOP, st)) return false;
    if (!platform::waitForServiceState(s, win::SERVICE_STOPPED, kStopWaitMs)) return false;
    BoostLog(u"[Stop] Service stopped: " + name);
    return true;
}

std::uint32_t startServices(const char16_t* csv, std::int32_t delayMs) {
    if (!csv) {
        BoostLog(u"[Start] NULL servicesCsv.");
        return 0;
    }
    const std::uint32_t pause = static_cast<std::uint32_t>(std::max(delayMs, kMinDelayMs));
    std::uint32_t running = 0;
    for (const std::u16string& name : parseServiceList(csv)) {
        if (StartOneService(name, kStartWaitMs)) ++running;
        platform::clocks().sleepMs(pause);
    }
    BoostLog(u"[Start] Start-only completed.");
    return running;
}

std::uint32_t stopServices(const char16_t* csv, char16_t* stoppedOut, std::int32_t stoppedOutLen) {
    const bool canWrite = stoppedOut && stoppedOutLen >= 1;
    if (!csv) {
        BoostLog(u"[Stop] NULL servicesCsv.");
        if (canWrite) stoppedOut[0] = u'\0';
        return 0;
    }
    std::uint32_t stopped = 0;
    std::u16string joined;
    // Only whole names go out: a cut name could name another service.
    const std::size_t room = canWrite ? static_cast<std::size_t>(stoppedOutLen) - 1 : 0;
    bool full = false;
    for (const std::u16string& name : parseServiceList(csv)) {
        if (!StopOneService(name)) continue;
        ++stopped;
        const std::size_t grown = joined.size() + (joined.empty() ? 0 : 1) + name.size();
        if (full || grown > room) {
            full = true;
            continue;
        }
        if (!joined.empty()) joined += u',';
        joined += name;
    }
    if (canWrite) {
        std::copy(joined.begin(), joined.end(), stoppedOut);
        stoppedOut[joined.size()] = u'\0';
    }
    BoostLog(u"[Stop] Completed stop_services.");
    return stopped;
}

}  // namespace zk::boostutil
