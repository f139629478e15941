#pragma once
// Memory relief: standby-list purges gated by memory load or by the process asked for,
// measured before and after, and counted in the statistics.

#include <cstdint>

#include "memory/memory_stats.h"
#include "memory/standby_purge.h"
#include "zelkor.h"

namespace zk::memory {

// Results of the cleanings besides the MiB freed.
inline constexpr double kExcluded = -1.0;
inline constexpr double kBeforeFailed = -2.0;
inline constexpr double kPurgeFailed = -3.0;
inline constexpr double kAfterFailed = -4.0;
inline constexpr double kOutOfRange = -5.0;

class MemoryRelief {
public:
    // A cleaning when memoryLoadPercent reaches the cleaning threshold, purging twice at
    // heavy load; 0.0 and nothing recorded below the threshold.
    double extremeClean(double memoryLoadPercent);
    // A cleaning on behalf of pid, refused for excluded processes (pid 0: never refused).
    double trimForProcess(std::uint32_t pid);
    bool selfTest();

    MemoryStats stats() const { return stats_.snapshot(); }
    void resetStats() { stats_.reset(); }

    // Statistics and the once-only purge set-up back to their state at load. Tests only.
    void resetForTests();

private:
    // Measures after the purge and records the cleaning; the result of either cleaning.
    double finish(std::uint64_t before);

    StandbyPurge purge_;
    StatsBook stats_;
};

// The process-wide module object behind the memory exports.
MemoryRelief& memoryRelief();

}  // namespace zk::memory
