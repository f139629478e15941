#include "stutter/window_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace zk::stutter {
namespace {

TEST(PercentileIndex, TruncatedRank) {
    EXPECT_EQ(percentileIndex(10, 0.99), 8u);
    EXPECT_EQ(percentileIndex(10, 0.01), 0u);
    EXPECT_EQ(percentileIndex(200, 0.99), 197u);
    EXPECT_EQ(percentileIndex(200, 0.01), 1u);
    EXPECT_EQ(percentileIndex(101, 0.99), 99u);
    EXPECT_EQ(percentileIndex(1, 0.99), 0u);
}

TEST(AnalyseSorted, MeanPopulationDeviationAndPercentiles) {
    std::vector<double> w(10);
    std::iota(w.begin(), w.end(), 1.0);  // 1..10
    const WindowStats s = analyseSorted(w.data(), w.size(), 2.5, 3.0);
    EXPECT_DOUBLE_EQ(s.meanMs, 5.5);
    EXPECT_DOUBLE_EQ(s.jitterMs, std::sqrt(8.25));  // population, not sample, variance
    EXPECT_DOUBLE_EQ(s.p99Ms, 9.0);                 // index 8
    EXPECT_DOUBLE_EQ(s.p1Ms, 1.0);
    // threshold max(2.5 * 5.5, 3.0) = 13.75: nothing reaches it
    EXPECT_EQ(s.spikes, 0u);
}

TEST(AnalyseSorted, FlatWindowUsesSpikeFloor) {
    std::vector<double> w(20, 1.0);
    WindowStats s = analyseSorted(w.data(), w.size(), 2.5, 3.0);
    EXPECT_DOUBLE_EQ(s.meanMs, 1.0);
    EXPECT_DOUBLE_EQ(s.jitterMs, 0.0);
    EXPECT_DOUBLE_EQ(s.p99Ms, 1.0);
    EXPECT_EQ(s.spikes, 0u);
    // A sample exactly at the floor counts; one just below does not.
    w[18] = 2.9999;
    w[19] = 3.0;
    s = analyseSorted(w.data(), w.size(), 2.5, 3.0);
    EXPECT_EQ(s.spikes, 1u);
}

TEST(AnalyseSorted, FactorThresholdWinsOverFloorWhenHigher) {
    // mean 2.0 with factor 2.5: threshold 5.0 beats the 3.0 floor
    std::vector<double> w = {1, 1, 1, 1, 1, 1, 1, 4, 4, 5};
    const WindowStats s = analyseSorted(w.data(), w.size(), 2.5, 3.0);
    EXPECT_DOUBLE_EQ(s.meanMs, 2.0);
    EXPECT_EQ(s.spikes, 1u);
}

TEST(AnalyseSorted, NaNSpikeFactorCountsNoSpikes) {
    // max(NaN x mean, floor) is NaN, and no sample is >= NaN.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> w = {1, 1, 1, 1, 1, 1, 1, 1, 5, 9};
    EXPECT_EQ(analyseSorted(w.data(), w.size(), nan, 3.0).spikes, 0u);
    EXPECT_EQ(analyseSorted(w.data(), w.size(), 2.5, nan).spikes, 1u);  // 2.5 x 2.2 = 5.5
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
}

TEST(StutterRisk, NaNNeverLeavesTheRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_DOUBLE_EQ(clamp01(nan), 0.0);
    EXPECT_DOUBLE_EQ(stutterRisk(4.0, nan, 0, 0, false), 0.30);
}

}  // namespace
}  // namespace zk::stutter
