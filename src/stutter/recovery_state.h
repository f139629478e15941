#pragma once
// State that the recovery engine, the surgical transaction, the action binding and the
// stutter entry point share: the host's settings, the counters, the per-process cooldowns
// and the processor-count safety test.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "zelkor.h"

namespace zk::stutter {

enum class RecoveryCounter : std::size_t {
    SoftRecoveries,
    HardRecoveries,
    SurgicalFailures,
    SurgicalL1,
    SurgicalL2,
    SurgicalL3,
    Count
};

class RecoveryState {
public:
    void setConfig(const QtmRecoveryConfig& cfg);
    QtmRecoveryConfig config() const;

    void count(RecoveryCounter c);
    QtmRecoveryMetrics metrics() const;

    // Cooldowns in wall-clock seconds. A pid is in cooldown while its until time is later
    // than now.
    void armCooldown(std::uint32_t pid, std::int32_t level, std::uint64_t rssMB);
    bool inCooldown(std::uint32_t pid, double now) const;
    // Check and lock in one step: false when pid is in cooldown, else it is locked for
    // `seconds` from now.
    bool lockUnlessCooling(std::uint32_t pid, double now, double seconds);
    double cooldownUntil(std::uint32_t pid) const;  // 0 when none

    // Logical processors from the system information, read once, at least 1.
    std::uint32_t processorCount();
    // True when affinity actions are safe (more than 4 logical processors); otherwise
    // says so on the log at every call.
    bool fourCoreSafety();

    void resetForTests();

private:
    mutable std::mutex configMutex_;
    QtmRecoveryConfig config_{};

    std::array<std::atomic<std::uint64_t>, static_cast<std::size_t>(RecoveryCounter::Count)> counters_{};

    mutable std::mutex cooldownMutex_;
    std::unordered_map<std::uint32_t, double> cooldownUntil_;

    std::atomic<std::uint32_t> processors_{0};
};

RecoveryState& recoveryState();

// Wall-clock seconds since 1970.
double wallClockSeconds();
// A megabyte figure truncated to a whole number; negative or not-a-number gives 0.
std::uint64_t wholeMegabytes(double mb);

}  // namespace zk::stutter
