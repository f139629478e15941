#pragma once
// Pure statistics of the sampler's window: no state, no platform.

#include <cstddef>
#include <cstdint>

namespace zk::stutter {

struct WindowStats {
    double meanMs = 0;
    double jitterMs = 0;  // population standard deviation
    double p1Ms = 0;
    double p99Ms = 0;
    std::uint32_t spikes = 0;
};

// Index of the percentile `fraction` in a sorted window of n samples (truncated rank).
std::size_t percentileIndex(std::size_t n, double fraction);

// Statistics of a window sorted ascending, n >= 1.
WindowStats analyseSorted(const double* sorted, std::size_t n, double spikeFactor,
                          double spikeFloorMs);

// Limits x to 0.0..1.0; a NaN counts as 0.0 so that the risk always stays in range.
double clamp01(double x);

double stutterRisk(double p99Ms, double smoothedJitterMs, std::uint32_t hardPF,
                   std::uint32_t spikes, bool thermal);

}  // namespace zk::stutter
