// The analysis of one sorted window and the stutter risk.

#include "stutter/window_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace zk::stutter {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(PercentileIndex, TruncatedRank) {
    EXPECT_EQ(percentileIndex(10, 0.99), 8u);
    EXPECT_EQ(percentileIndex(10, 0.01), 0u);
    EXPECT_EQ(percentileIndex(200, 0.99), 197u);
    EXPECT_EQ(percentileIndex(200, 0.01), 1u);
    EXPECT_EQ(percentileIndex(101, 0.99), 99u);
    EXPECT_EQ(percentileIndex(1, 0.99), 0u);
}

TEST(AnalyseSorted, MeanPopulationDeviationAndPercentiles) {
    const std::vector<double> w = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const WindowStats s = analyseSorted(w.data(), w.size(), 2.5, 3.0);
    EXPECT_DOUBLE_EQ(s.meanMs, 5.5);
    EXPECT_DOUBLE_EQ(s.jitterMs, std::sqrt(8.25));  // population, not sample, variance
    EXPECT_DOUBLE_EQ(s.p99Ms, 9.0);                 // index 8
    EXPECT_DOUBLE_EQ(s.p1Ms, 1.0);
    EXPECT_EQ(s.spikes, 0u);  // threshold max(2.5 x 5.5, 3.0) = 13.75
}

TEST(AnalyseSorted, SpikesFromTheHigherOfFactorTimesMeanAndFloor) {
    const struct { std::vector<double> window; double factor, floor; std::uint32_t spikes; } cases[] = {
        {{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2.9999, 3.0}, 2.5, 3.0, 1},  // the floor, exactly
        {{1, 1, 1, 1, 1, 1, 1, 4, 4, 5}, 2.5, 3.0, 1},         // mean 2.0: the factor's 5.0
        {{1, 1, 1, 1, 1, 1, 1, 1, 5, 9}, kNaN, 3.0, 0},         // a NaN threshold counts none
        {{1, 1, 1, 1, 1, 1, 1, 1, 5, 9}, 2.5, kNaN, 1},         // 2.5 x 2.2 = 5.5
    };
    for (const auto& c : cases)
        EXPECT_EQ(analyseSorted(c.window.data(), c.window.size(), c.factor, c.floor).spikes, c.spikes)
            << c.factor << " " << c.floor << " " << c.window.back();
}

TEST(StutterRisk, EachTermAndItsClamp) {
    EXPECT_DOUBLE_EQ(stutterRisk(1.0, 0.2, 0, 0, false), 0.0);
    EXPECT_DOUBLE_EQ(stutterRisk(2.5, 0.2, 0, 0, false), 0.30 * 0.5);
    EXPECT_DOUBLE_EQ(stutterRisk(4.0, 0.2, 0, 0, false), 0.30);
    EXPECT_DOUBLE_EQ(stutterRisk(40.0, 0.2, 0, 0, false), 0.30);  // clamped at 4 ms
    EXPECT_DOUBLE_EQ(stutterRisk(0.5, 0.2, 0, 0, false), 0.0);    // below 1 ms clamps to 0
    EXPECT_DOUBLE_EQ(stutterRisk(1.0, 1.5, 0, 0, false), 0.35);
    EXPECT_DOUBLE_EQ(stutterRisk(1.0, 9.0, 0, 0, false), 0.35);
    EXPECT_DOUBLE_EQ(stutterRisk(1.0, 0.2, 150, 0, false), 0.125);
    EXPECT_DOUBLE_EQ(stutterRisk(1.0, 0.2, 300000, 0, false), 0.25);
    EXPECT_DOUBLE_EQ(stutterRisk(1.0, 0.2, 0, 25, false), 0.05);
    EXPECT_DOUBLE_EQ(stutterRisk(1.0, 0.2, 0, 1000, false), 0.05);
    EXPECT_DOUBLE_EQ(stutterRisk(1.0, 0.2, 0, 0, true), 0.05);
    EXPECT_DOUBLE_EQ(stutterRisk(100.0, 100.0, 100000, 100, true), 1.0);
    EXPECT_DOUBLE_EQ(stutterRisk(4.0, kNaN, 0, 0, false), 0.30);  // NaN never leaves the range
    EXPECT_DOUBLE_EQ(clamp01(kNaN), 0.0);
}

}  // namespace
}  // namespace zk::stutter
