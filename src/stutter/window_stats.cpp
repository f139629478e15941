#include "stutter/window_stats.h"

#include <algorithm>
#include <cmath>

namespace zk::stutter {

std::size_t percentileIndex(std::size_t n, double fraction) {
    return n == 0 ? 0 : static_cast<std::size_t>(static_cast<double>(n - 1) * fraction);
}

WindowStats analyseSorted(const double* sorted, std::size_t n, double spikeFactor,
                          double spikeFloorMs) {
    WindowStats s;
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += sorted[i];
    s.meanMs = sum / static_cast<double>(n);
    double sq = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = sorted[i] - s.meanMs;
        sq += d * d;
    }
    s.jitterMs = std::sqrt(sq / static_cast<double>(n));
    const double threshold = std::max(spikeFactor * s.meanMs, spikeFloorMs);
    // Sorted ascending: the spikes are the tail from the first sample >= threshold. Tested
    // as "x >= threshold" so that a NaN threshold (a host's NaN spikeFactor) counts none.
    const double* first = std::partition_point(sorted, sorted + n, [&](double x) { return !(x >= threshold); });
    s.spikes = static_cast<std::uint32_t>(sorted + n - first);
    s.p99Ms = sorted[percentileIndex(n, 0.99)];
    s.p1Ms = sorted[percentileIndex(n, 0.01)];
    return s;
}

double clamp01(double x) {
    // Negative zero becomes +0 here, so that no figure reads -0.00.
    if (!(x > 0.0)) return 0.0;  // also NaN
    // At exactly 1 both branches give 1.
    return x < 1.0 ? x : 1.0;
}

double stutterRisk(double p99Ms, double smoothedJitterMs, std::uint32_t hardPF,
                   std::uint32_t spikes, bool thermal) {
    const double a = clamp01((p99Ms - 1.0) / 3.0);
    const double b = clamp01((smoothedJitterMs - 0.2) / 1.3);
    const double c = clamp01(hardPF / 300.0);
    const double d = clamp01(spikes / 25.0);
    const double e = thermal ? 1.0 : 0.0;
    return clamp01(0.30 * a + 0.35 * b + 0.25 * c + 0.05 * d + 0.05 * e);
}

}  // namespace zk::stutter
