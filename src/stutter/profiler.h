#pragma once
// The offender profiler: after a stutter, walks all processes, measures each one's CPU
// share, disk throughput, working set and page-fault growth since the previous walk, and
// names the worst background process with its dominant cause.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "platform/platform.h"
#include "stutter/profiler_score.h"
#include "zelkor.h"

namespace zk::stutter {

class Profiler {
public:
    void init();
    void reset();
    void setLogCallback(PfLogCallback cb);
    std::int32_t getRootCause(std::uint32_t gamePid, double risk, double p99Ms, PfRootCause* out);

    // Test-only: back to the state at load (history, rate limit, processor count, log).
    void resetForTests();
    std::size_t historySize();

private:
    // What the previous walk saw of one process id.
    struct History {
        std::uint64_t kernelTime = 0;
        std::uint64_t userTime = 0;
        std::uint64_t wallTime = 0;  // 0: never measured
        std::uint64_t readBytes = 0;
        std::uint64_t writeBytes = 0;
        std::uint64_t ioTick = 0;
        bool ioMeasured = false;  // the tick itself may be 0 on a young machine
        std::uint32_t pageFaults = 0;  // 0: never
    };

    PfMeasures measure(History& h, const platform::ProcessHandle& process, std::uint64_t walkTick);
    double processorCount();
    void log(const char* line) const;

    // Guards the history; held for a whole walk and by reset.
    std::mutex lock_;
    std::unordered_map<std::uint32_t, History> history_;

    std::atomic<bool> scanning_{false};
    std::atomic<std::int64_t> lastWalkTick_{-1};  // -1: no walk admitted yet
    std::atomic<double> processors_{0.0};
    std::atomic<PfLogCallback> log_{nullptr};
};

// The process-wide profiler behind the PF_ exports.
Profiler& profiler();

}  // namespace zk::stutter
