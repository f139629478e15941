#include "stutter/profiler_score.h"

#include <algorithm>

namespace zk::stutter {

namespace {
// NaN (a host's garbage figure) counts as nothing rather than poisoning the score.
double clampPct(double v) { return v > 0.0 ? std::min(v, 100.0) : 0.0; }
}  // namespace

PfScore scoreProcess(const PfMeasures& m) {
    const double parts[4] = {
        clampPct(m.cpuPct) * 0.4,
        clampPct(m.ioMBps / 50.0 * 100.0) * 0.3,
        clampPct(m.ramMB / 2000.0 * 100.0) * 0.1,
        static_cast<double>(std::min<std::uint32_t>(m.faults, 200)) * 0.2,
    };
    PfScore s;
    int best = 0;
    for (int i = 0; i < 4; ++i) {
        s.score += parts[i];
        if (parts[i] > parts[best]) best = i;
    }
    s.category = kPfCpu + best;
    return s;
}

double candidateThreshold(double risk) {
    if (risk >= 0.9) return 10.0;
    if (risk >= 0.75) return 15.0;
    return 20.0;
}

}  // namespace zk::stutter
