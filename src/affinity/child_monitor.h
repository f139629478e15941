#pragma once
// The child monitor: one detached module thread per boosted game that only reports the
// game's lifetime in the log. Each monitor carries a generation: a later boost of the same
// game makes the older monitor's generation stale and wakes it, so it leaves at once and
// one monitor per game remains; monitors of other games watch on until their game ends.
// stopAll() makes every generation stale (Cleanup, ResetAll).

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace zk::affinity {

class ChildMonitorControl {
public:
    // A new monitor for game pid: its generation, which stops the game's older monitor.
    std::uint64_t begin(std::uint32_t pid);
    // Whether the monitor of this generation is still the game's monitor.
    bool current(std::uint32_t pid, std::uint64_t generation);
    // The monitor is leaving: the game has none left unless a newer one began.
    void end(std::uint32_t pid, std::uint64_t generation);
    // Every monitor leaves, woken at once.
    void stopAll();
    // Waits up to ms while this monitor stays current; whether it still is.
    bool waitWhileCurrent(std::uint32_t pid, std::uint64_t generation, std::int32_t ms);
    // How many monitors are in their pause now (each releases the lock only inside the wait).
    std::size_t pausing();

private:
    bool currentLocked(std::uint32_t pid, std::uint64_t generation) const;

    std::mutex mutex_;
    std::condition_variable wake_;
    // Guarded by mutex_: the last generation given, and each game's current monitor.
    std::uint64_t lastGeneration_ = 0;
    std::unordered_map<std::uint32_t, std::uint64_t> games_;
    std::size_t pausing_ = 0;
};

// The monitor's pause between checks: the configured period, at least 10 ms.
std::int32_t childMonitorPollMs();
// One check: true while the parent is in the process list (else its line is logged).
bool childMonitorCheck(std::uint32_t parentPid);
void ChildMonitorThread(std::uint32_t parentPid, std::uint64_t generation);
void StartChildMonitor(std::int32_t pid);

}  // namespace zk::affinity
