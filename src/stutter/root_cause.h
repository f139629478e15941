#pragma once
// The stutter entry point: published metrics → thresholds and a 5 ms gate → the
// profiler's offender → the recovery engine.

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>

#include "stutter/recovery_records.h"
#include "zelkor.h"

namespace zk::stutter {

// The host's own load figures, passed through to the recovery engine.
struct HostLoad {
    double ramPct = 0.0;
    double cpuMaxPct = 0.0;
    double headroomPct = 0.0;
    double saturationPct = 0.0;
    double loadFactor = 0.0;
};

StutterContext stutterContext(std::uint32_t gamePid, const QtmMetrics& m, const HostLoad& load);
OffenderInfo offenderInfo(const PfRootCause& cause);

class StutterRootCause {
public:
    using ReadMetrics = std::function<void(QtmMetrics*)>;
    using ReadRisk = std::function<double()>;

    // Reads the process-wide sampling engine.
    StutterRootCause();
    // Reads another metrics source (tests).
    StutterRootCause(ReadMetrics metrics, ReadRisk risk);

    // 1 offender found and recovery attempted; 0 no stutter, too soon or no offender;
    // -1 out is null; -2 no metrics yet or no process snapshot; -3 a scan is running.
    std::int32_t find(std::uint32_t gamePid, double riskThreshold, double p99ThresholdMs, const HostLoad& load,
                      PfRootCause* out, std::uint32_t* outRecovery);

    // Admits at most one call per 5 ms; the check and the stamp are one atomic step.
    // Public so that tests can hand it the clock readings of racing callers.
    bool admit(std::uint64_t nowNs);

    void resetForTests() { lastPassNs_.store(kNever); }

private:
    static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

    ReadMetrics readMetrics_;
    ReadRisk readRisk_;
    // Steady-clock nanoseconds of the last call that passed the thresholds. A flag value
    // rather than 0 marks "none": the clock may well read 0 on a fresh machine.
    std::atomic<std::uint64_t> lastPassNs_{kNever};
};

StutterRootCause& stutterRootCause();

}  // namespace zk::stutter
