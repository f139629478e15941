// The spike count of one sorted window and the stutter risk; the sampler tests check the
// rest of the window statistics through the sampler.

#include "stutter/window_stats.h"

#include <gtest/gtest.h>

#include <cmath>
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
    const struct { double p99Ms, jitterMs; std::uint32_t hardPF, spikes; bool thermal; double risk; } cases[] = {
        {1.0, 0.2, 0, 0, false, 0.0},     {2.5, 0.2, 0, 0, false, 0.15},   {4.0, 0.2, 0, 0, false, 0.30},
        {40.0, 0.2, 0, 0, false, 0.30},   {0.5, 0.2, 0, 0, false, 0.0},    {1.0, 1.5, 0, 0, false, 0.35},
        {1.0, 9.0, 0, 0, false, 0.35},    {1.0, 0.2, 150, 0, false, 0.125}, {1.0, 0.2, 300000, 0, false, 0.25},
        {1.0, 0.2, 0, 25, false, 0.05},   {1.0, 0.2, 0, 1000, false, 0.05}, {1.0, 0.2, 0, 0, true, 0.05},
        {100, 100, 100000, 100, true, 1.0}, {4.0, kNaN, 0, 0, false, 0.30},  // NaN never leaves the range
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(stutterRisk(c.p99Ms, c.jitterMs, c.hardPF, c.spikes, c.thermal), c.risk)
            << c.p99Ms << " " << c.jitterMs << " " << c.hardPF << " " << c.spikes << " " << c.thermal;
    EXPECT_DOUBLE_EQ(clamp01(kNaN), 0.0);
    EXPECT_FALSE(std::signbit(clamp01(-0.0))) << "a risk never reads -0.00";
}

}  // namespace
}  // namespace zk::stutter
