// The sampler's tick over the simulated machine and clock: window, statistics, page
// faults, thermal state and resets; the spike count of one sorted window and the risk.

#include "stutter/sampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "stutter/window_stats.h"
#include "support/machine_fixture.h"

namespace zk::stutter {
namespace {

using sim::Op;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

bool isZero(const QtmMetrics& m) {
    static const QtmMetrics zero{};
    return std::memcmp(&m, &zero, sizeof m) == 0;  // padding included
}

class SamplerTest : public test::MachineTest {
protected:
    void SetUp() override {
        for (std::uint32_t i = 0; i < 5; ++i) machine.addProcess(2000 + i, 4, "bg" + std::to_string(i) + ".exe");
        s.beginRun();
    }
    // Each tick sleeps 1 ms on the simulated clock; overshoots make the samples.
    void ticks(const std::vector<std::uint64_t>& overshootUs) {
        machine.scriptSleepOvershootUs(overshootUs);
        for (std::size_t i = 0; i < overshootUs.size(); ++i) s.tick();
    }
    void flatTicks(int n) { ticks(std::vector<std::uint64_t>(static_cast<std::size_t>(n), 0)); }
    QtmMetrics metrics() {
        QtmMetrics m;
        s.getMetrics(&m);
        return m;
    }

    Sampler s;
};

TEST_F(SamplerTest, ConfigDefaultsAndASleepOfTheIntervalInWholeMilliseconds) {
    QtmConfig c;
    s.getConfig(&c);
    const QtmConfig defaults{1000, 200, 0.25, 3.0, 2.5, 0.85};  // the clamps written back: the sweep's rows
    EXPECT_EQ(0, std::memcmp(&c, &defaults, sizeof c));
    for (const auto& [interval, ms] : {std::pair{200, 1u}, {999, 1u}, {1000, 1u}, {5000, 5u}, {5999, 5u}}) {
        c.sampleIntervalUs = interval;
        s.setConfig(&c);
        const auto before = machine.nowNs();
        s.tick();
        EXPECT_EQ(machine.nowNs() - before, ms * 1000000ull) << interval;
    }
}

TEST_F(SamplerTest, PublishedFromTheTenthSample) {
    // Samples 1.0 .. 1.9 ms in shuffled order.
    ticks({500, 0, 900, 100, 800, 200, 700, 300, 600});
    EXPECT_TRUE(isZero(metrics()));
    ticks({400});
    const QtmMetrics m = metrics();
    EXPECT_NEAR(m.p99Ms, 1.8, 1e-9);  // index 8 of 10
    EXPECT_NEAR(m.meanMs, 1.45, 1e-9);
    EXPECT_NEAR(m.jitterMs, std::sqrt(0.0825), 1e-9);
    EXPECT_NEAR(m.jitterEmaMs, 0.25 * m.jitterMs, 1e-12);  // first update from 0.0
}

TEST_F(SamplerTest, WindowKeepsTheNewestSamples) {
    std::vector<std::uint64_t> over(200);
    for (std::size_t i = 0; i < over.size(); ++i) over[i] = (i * 37) % 200 * 10;  // 0..1990 µs, each once
    ticks(over);
    EXPECT_NEAR(metrics().p99Ms, 1.0 + 197 * 0.01, 1e-9);
    EXPECT_NEAR(metrics().p1Ms, 1.01, 1e-9);
    flatTicks(5);
    EXPECT_EQ(s.windowLength(), 200u);  // oldest dropped
    QtmConfig c;
    s.getConfig(&c);
    c.windowSize = 20;  // a lowered size is reached one sample a tick
    s.setConfig(&c);
    flatTicks(5);
    EXPECT_EQ(s.windowLength(), 195u);
    flatTicks(178);
    EXPECT_EQ(s.windowLength(), 20u);  // and no lower
    EXPECT_DOUBLE_EQ(metrics().p99Ms, 1.0);  // the sorted copy shrank with it: only flat samples left
}

TEST_F(SamplerTest, SpikesAndRiskFromLateWakeUps) {
    std::vector<std::uint64_t> over(40, 0);
    for (std::size_t i = 0; i < 8; ++i) over[i * 5] = 9000;  // 8 samples of 10 ms
    ticks(over);
    const QtmMetrics m = metrics();
    EXPECT_EQ(m.spikes, 8u);  // mean 2.8: threshold max(7.0, 3.0)
    EXPECT_DOUBLE_EQ(m.p99Ms, 10.0);
    EXPECT_DOUBLE_EQ(m.jitterMs, 3.6);
    EXPECT_GT(m.jitterEmaMs, 1.5);  // every window's deviation is above 3: the smoothed one too, by now
    // p99 and smoothed jitter at their caps: 0.30 + 0.35, and 8 of 25 spikes: 0.05 x 0.32.
    EXPECT_NEAR(m.risk, 0.666, 1e-12);
    EXPECT_EQ(s.risk(), m.risk);
}

// One tick a step. The walk over every process runs only where the system query is missing
// or fails, and its sum never compares with a system total.
TEST_F(SamplerTest, PageFaultGrowthOfTheSystemTotalOrElseOfAWalk) {
    flatTicks(9);
    const auto hide = [&] { machine.hideRoutine(platform::Routine::NtQuerySystemInformation); };
    const auto protect = [&] {
        machine.withProcess(2000, [](sim::SimProcess& p) { p.protectionLevel = sim::kProtectedLevel; });
    };
    const auto failCounters = [&] {
        machine.hideRoutine(platform::Routine::NtQuerySystemInformation, false);
        machine.failOp(Op::NtQuerySystemInformation, win::STATUS_ACCESS_DENIED);
        machine.failOp(Op::GetProcessMemoryInfo, win::ERROR_ACCESS_DENIED, 4);
    };
    const auto failSnapshot = [&] { machine.failOp(Op::CreateProcessSnapshot, win::ERROR_NOT_ENOUGH_MEMORY, 1); };
    const std::uint32_t nearEnd = 0xFFFFFFFFu - 1150 - 9;  // the total ends 10 below the 32-bit end
    const struct { const char* what; std::uint32_t system, perProcess; std::function<void()> change; bool walks;
                   std::uint32_t hardPF; } steps[] = {
        {"the processes' own counters are not the system's total", 0, 1000, nullptr, false, 0},
        {"a total of 0 (as under Wine) was no baseline", 1000, 0, nullptr, false, 0},
        {"growth", 150, 0, nullptr, false, 150},
        {"no growth", 0, 0, nullptr, false, 0},
        {"growth to near the end", nearEnd, 0, nullptr, false, nearEnd},
        {"across the end: the counter reads 20", 30, 0, nullptr, false, 30},
        {"query missing: the walk's sum is no growth from the system total", 0, 0, hide, true, 0},
        {"growth of the walk's sum", 0, 30, nullptr, true, 150},
        {"no growth of the walk's sum", 0, 0, nullptr, true, 0},
        {"a protected process (it refuses VM read) adds nothing: the sum falls", 0, 0, protect, true, 0},
        {"4 readable processes", 0, 10, nullptr, true, 40},
        {"query and counters failing: a smaller sum", 0, 0, failCounters, true, 0},
        {"a failed snapshot: a sum of 0", 0, 0, failSnapshot, false, 0},
        {"a sum of 0 was no baseline", 0, 10, nullptr, true, 0},
        {"growth again", 0, 10, nullptr, true, 40},
    };
    for (const auto& c : steps) {
        SCOPED_TRACE(c.what);
        machine.addSystemPageFaults(c.system);
        for (std::uint32_t i = 0; i < 5; ++i)
            machine.withProcess(2000 + i, [&](sim::SimProcess& p) { p.memory.pageFaultCount += c.perProcess; });
        if (c.change) c.change();
        const auto opened = machine.opens().size();
        flatTicks(1);
        EXPECT_EQ(metrics().hardPF, c.hardPF);
        EXPECT_DOUBLE_EQ(metrics().risk, 0.25 * std::min(c.hardPF / 300.0, 1.0));  // flat samples: this term alone
        EXPECT_EQ(machine.opens().size() > opened, c.walks);
    }
    // The walk only queries; the fixture checks that every handle was closed.
    for (const auto& o : machine.opens())
        EXPECT_EQ(o.access, win::PROCESS_QUERY_LIMITED_INFORMATION | win::PROCESS_VM_READ);
    EXPECT_TRUE(machine.changes().empty());
}

TEST_F(SamplerTest, ThermalFromTheFirstProcessorEntryWhenTheQueryAnswers) {
    flatTicks(9);
    enum Query { Answers, Hidden, Fails };
    const struct { const char* what; std::size_t cpus; unsigned maxMhz, mhz; Query query; int thermal; } cases[] = {
        {"80 %", 8, 4000, 3200, Answers, 1}, {"85 %: not below the ratio", 8, 4000, 3400, Answers, 0},
        {"routine missing", 4, 4000, 1000, Hidden, 0}, {"query fails", 4, 4000, 1000, Fails, 0},
        {"no maximum", 4, 0, 1000, Answers, 0}, {"4 processors at 25 %", 4, 4000, 1000, Answers, 1},
        {"65 processors do not fit the 64-entry buffer", 65, 4000, 1000, Answers, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<sim::ProcessorPower> cpus(c.cpus);
        cpus[0].maxMhz = c.maxMhz;
        cpus[0].currentMhz = c.mhz;
        cpus[1].currentMhz = 1;  // only the first entry counts
        machine.setProcessors(cpus);
        machine.hideRoutine(platform::Routine::NtPowerInformation, c.query == Hidden);
        if (c.query == Fails) machine.failOp(Op::NtPowerInformation, win::STATUS_ACCESS_DENIED, 1);
        flatTicks(1);
        EXPECT_EQ(metrics().thermal, c.thermal);
        EXPECT_NEAR(metrics().risk, 0.05 * c.thermal, 1e-12);  // flat samples: the thermal term alone
    }
}

TEST_F(SamplerTest, ResetClearsMetricsBaselineAndWindowButKeepsSmoothedJitter) {
    machine.addSystemPageFaults(100);
    ticks({0, 5000, 0, 5000, 0, 5000, 0, 5000, 0, 5000, 0, 5000});
    const double ema = s.smoothedJitter();
    ASSERT_GT(ema, 0.0);

    s.resetMetrics();
    EXPECT_TRUE(isZero(metrics()));
    EXPECT_EQ(s.windowLength(), 0u);

    machine.addSystemPageFaults(100);
    flatTicks(10);
    EXPECT_EQ(metrics().hardPF, 0u);                        // baseline was cleared
    EXPECT_DOUBLE_EQ(metrics().jitterEmaMs, 0.75 * ema);  // continues from before

    // A reset that lands while a tick reads the page faults: that tick's results never appear.
    machine.setHook(Op::NtQuerySystemInformation, [&] { s.resetMetrics(); });
    flatTicks(1);
    machine.setHook(Op::NtQuerySystemInformation, nullptr);
    EXPECT_TRUE(isZero(metrics()));
    EXPECT_EQ(s.windowLength(), 0u);
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
