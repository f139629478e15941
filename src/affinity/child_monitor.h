#pragma once
// The child monitor: one detached module thread per boosted game that only reports the
// game's lifetime in the log. All monitors share one running flag; clearing it through
// stopAll() also wakes them at once, so that none outlives a Cleanup by a poll period.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zk::affinity {

class ChildMonitorControl {
public:
    bool running() const { return running_.load(std::memory_order_relaxed); }
    // Clears the flag and wakes every monitor (Cleanup, ResetAll).
    void stopAll();
    // Clears the flag for 20 ms without waking anyone, then sets it again: a monitor
    // that sleeps through the window keeps watching its own game.
    void restart();
    // Waits up to ms for stopAll().
    void waitForStop(std::int32_t ms);

private:
    std::atomic<bool> running_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopSignalled_ = false;  // the stop event, reset when the flag is set again
};

// The monitor's pause between checks: the configured period, at least 10 ms.
std::int32_t childMonitorPollMs();
// One check: true while the parent is in the process list (else its line is logged).
bool childMonitorCheck(std::uint32_t parentPid);
void ChildMonitorThread(std::uint32_t parentPid);
void StartChildMonitor(std::int32_t pid);

}  // namespace zk::affinity
