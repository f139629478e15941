// The spike count of one sorted window and the stutter risk; the sampler tests check the
// rest of the window statistics through the sampler.

#include "stutter/window_stats.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace zk::stutter {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

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
