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

std::uint64_t ChildMonitorControl::begin(std::uint32_t pid) {
    std::lock_guard lk(mutex_);
    const std::uint64_t generation = ++lastGeneration_;
    games_[pid] = generation;
    wake_.notify_all();
    return generation;
}

bool ChildMonitorControl::currentLocked(std::uint32_t pid, std::uint64_t generation) const {
    const auto it = games_.find(pid);
    return it != games_.end() && it->second == generation;
}

bool ChildMonitorControl::current(std::uint32_t pid, std::uint64_t generation) {
    std::lock_guard lk(mutex_);
    return currentLocked(pid, generation);
}

void ChildMonitorControl::end(std::uint32_t pid, std::uint64_t generation) {
    std::lock_guard lk(mutex_);
    if (currentLocked(pid, generation)) games_.erase(pid);
}

void ChildMonitorControl::stopAll() {
    std::lock_guard lk(mutex_);
    games_.clear();
    wake_.notify_all();
}

bool ChildMonitorControl::waitWhileCurrent(std::uint32_t pid, std::uint64_t generation, std::int32_t ms) {
    std::unique_lock lk(mutex_);
    ++pausing_;
    wake_.wait_for(lk, std::chrono::milliseconds(ms), [&] { return !currentLocked(pid, generation); });
    --pausing_;
    return currentLocked(pid, generation);
}

std::size_t ChildMonitorControl::pausing() {
    std::lock_guard lk(mutex_);
    return pausing_;
}

std::int32_t childMonitorPollMs() {
    const std::int32_t ms = affinity().state.childMonitorPollMs();
    // At exactly 10 both sides give 10.
    return ms < 10 ? 10 : ms;
}

bool childMonitorCheck(std::uint32_t parentPid) {
    if (ProcessExists(parentPid)) return true;
    LogInfo("[ChildMonitor] (noop) Parent PID ended \xE2\x86\x92 stopping monitor");
    return false;
}

void ChildMonitorThread(std::uint32_t parentPid, std::uint64_t generation) {
    ChildMonitorControl& control = affinity().monitor;
    LogInfo(text::Message() << "[ChildMonitor] (noop) Started for parent PID " << parentPid);
    while (control.current(parentPid, generation)) {
        if (!childMonitorCheck(parentPid)) break;
        control.waitWhileCurrent(parentPid, generation, childMonitorPollMs());
    }
    control.end(parentPid, generation);
    LogInfo(text::Message() << "[ChildMonitor] (noop) Exiting for parent PID " << parentPid);
}

void StartChildMonitor(std::int32_t pid) {
    if (pid < 1) return;
    if (!affinity().state.childMonitorEnabled()) return;
    try {
        const auto parent = static_cast<std::uint32_t>(pid);
        ChildMonitorControl& control = affinity().monitor;
        const std::uint64_t generation = control.begin(parent);  // the game's older monitor leaves
        if (!startMonitorThread([parent, generation] { ChildMonitorThread(parent, generation); })) {
            const std::uint32_t error = platform::lastError();
            // Only the monitor reads its entry, so without it the entry waits, unread, for the next begin or stopAll.
            control.end(parent, generation);
            LogWarning(text::Message() << "[ChildMonitor] thread start failed: error " << error);
        }
    } catch (const std::exception& e) {
        LogWarning(std::string("[ChildMonitor] thread start failed: ") + e.what());
    } catch (...) {
        LogWarning("[ChildMonitor] thread start failed (unknown)");
    }
}

}  // namespace zk::affinity
