#include "affinity/child_monitor.h"

#include <chrono>
#include <exception>
#include <functional>
#include <string>
#include <utility>

#include "affinity/affinity_log.h"
#include "affinity/affinity_module.h"
#include "affinity/process_utils.h"
#include "common/text_format.h"
#include "platform/platform.h"

namespace zk::affinity {

namespace {

// A module thread: it holds a reference to the library while it runs, so the library
// cannot be unloaded under it.
bool startMonitorThread(std::function<void()> fn) { return platform::modules().startModuleThread(std::move(fn)); }

}  // namespace

void ChildMonitorControl::stopAll() {
    running_.store(false, std::memory_order_relaxed);
    std::lock_guard lk(mutex_);
    stopSignalled_ = true;
    wake_.notify_all();
}

void ChildMonitorControl::restart() {
    running_.store(false, std::memory_order_relaxed);
    platform::clocks().sleepMs(20);
    running_.store(true, std::memory_order_relaxed);
    std::lock_guard lk(mutex_);
    stopSignalled_ = false;
}

void ChildMonitorControl::waitForStop(std::int32_t ms) {
    std::unique_lock lk(mutex_);
    wake_.wait_for(lk, std::chrono::milliseconds(ms), [this] { return stopSignalled_; });
}

std::int32_t childMonitorPollMs() {
    const std::int32_t ms = affinity().state.childMonitorPollMs();
    return ms < 10 ? 10 : ms;
}

bool childMonitorCheck(std::uint32_t parentPid) {
    if (ProcessExists(parentPid)) return true;
    LogInfo("[ChildMonitor] (noop) Parent PID ended \xE2\x86\x92 stopping monitor");
    return false;
}

void ChildMonitorThread(std::uint32_t parentPid) {
    ChildMonitorControl& control = affinity().monitor;
    LogInfo(text::Message() << "[ChildMonitor] (noop) Started for parent PID " << parentPid);
    while (control.running()) {
        if (!childMonitorCheck(parentPid)) break;
        control.waitForStop(childMonitorPollMs());
    }
    LogInfo(text::Message() << "[ChildMonitor] (noop) Exiting for parent PID " << parentPid);
}

void StartChildMonitor(std::int32_t pid) {
    if (pid < 1) return;
    if (!affinity().state.childMonitorEnabled()) return;
    try {
        affinity().monitor.restart();
        const auto parent = static_cast<std::uint32_t>(pid);
        if (!startMonitorThread([parent] { ChildMonitorThread(parent); }))
            LogWarning(text::Message() << "[ChildMonitor] thread start failed: error "
                                       << platform::lastError());
    } catch (const std::exception& e) {
        LogWarning(std::string("[ChildMonitor] thread start failed: ") + e.what());
    } catch (...) {
        LogWarning("[ChildMonitor] thread start failed (unknown)");
    }
}

}  // namespace zk::affinity
