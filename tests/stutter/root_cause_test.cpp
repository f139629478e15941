// The stutter entry point: metrics gates, the 5 ms rate limit, the profiler's results
// passed through, the records handed to the recovery engine, and outRecovery.

#include <cstring>

#include "recovery_fixture.h"
#include "stutter/profiler.h"
#include "stutter/root_cause.h"

namespace {

using zk::sim::Op;
using zk::stutter::HostLoad;
using zk::stutter::StutterRootCause;
using zk::test::FakeActions;

constexpr std::uint64_t MB = 1ull << 20;

class RootCauseTest : public zk::test::RecoveryTest {
protected:
    void SetUp() override {
        RecoveryTest::SetUp();
        zk::stutter::profiler().resetForTests();
        addGameAndHog();
        // Scores 10 on a first walk (RAM part only): enough when the risk is 0.9 or more, so
        // a call with such a risk that returns 0 was stopped before the walk.
        machine.process(kHog)->memory.workingSetSize = 2000 * MB;
        FakeActions::install(machine);
        metrics.risk = 0.95;
        metrics.p99Ms = 3.0;
    }
    void TearDown() override {
        zk::stutter::profiler().resetForTests();
        RecoveryTest::TearDown();
    }
    std::int32_t call(std::uint32_t* outRecovery, double riskThreshold = 0.5, double p99Threshold = 2.0) {
        return rc.find(kGame, riskThreshold, p99Threshold, load, &out, outRecovery);
    }

    QtmMetrics metrics{};
    double riskAgain = 0.0;
    StutterRootCause rc{[this](QtmMetrics* m) { *m = metrics; }, [this] { return riskAgain; }};
    HostLoad load{50.0, 60.0, 0.0, 0.0, 1.0};
    PfRootCause out{};
};

TEST_F(RootCauseTest, NullOutIsRefusedAndOutRecoveryIsStillCleared) {
    std::uint32_t rec = 9;
    EXPECT_EQ(rc.find(kGame, 0.5, 2.0, load, nullptr, &rec), -1);
    EXPECT_EQ(rec, 0u);
    EXPECT_EQ(rc.find(kGame, 0.5, 2.0, load, nullptr, nullptr), -1);
}

TEST_F(RootCauseTest, UnpublishedMetricsTakeTheRiskReadAgain) {
    metrics = QtmMetrics{};
    std::uint32_t rec = 9;
    EXPECT_EQ(call(&rec), -2);  // all zero and risk 0: no analysis yet
    EXPECT_EQ(rec, 0u);
    EXPECT_EQ(call(nullptr), -2);

    riskAgain = 0.95;
    metrics.p1Ms = 0.5;  // any non-zero field counts as published: the risk read again is not consulted
    EXPECT_EQ(call(&rec), 0);  // risk 0 and p99 0: below both thresholds
    metrics.p1Ms = 0;
    EXPECT_EQ(call(&rec), 1);
    EXPECT_EQ(rec, 2u);
    EXPECT_EQ(countContaining("HARD RECOVERY TRIGGERED → risk=0.95 | jitter=0 | p99=0 |"), 1);
}

TEST_F(RootCauseTest, EitherThresholdReachedIsAStutter) {
    // A call that passes the gate stamps it: a severe stutter 1 ms later is then refused.
    const struct { double risk, p99Ms; bool passes; } cases[] = {
        {0.3, 1.5, false}, {0.49, 1.99, false}, {0.3, 2.0, true}, {0.3, 2.5, true}, {0.5, 0.0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "risk " << c.risk << " p99 " << c.p99Ms);
        zk::stutter::profiler().resetForTests();
        machine.advanceMs(10'000);
        metrics.risk = c.risk;
        metrics.p99Ms = c.p99Ms;
        std::uint32_t rec = 9;
        EXPECT_EQ(call(&rec), 0);  // no offender at these risks
        EXPECT_EQ(rec, 0u);
        machine.advanceMs(1);
        metrics.risk = 0.95;
        EXPECT_EQ(call(nullptr), c.passes ? 0 : 1);
    }
}

TEST_F(RootCauseTest, FiveMillisecondRateLimitOnTheSimulatedClock) {
    // The first call at clock 0 counts as a previous call.
    EXPECT_EQ(call(nullptr), 1);
    zk::stutter::profiler().resetForTests();  // lift the profiler's own 10 s limit
    machine.advanceMs(1);
    std::uint32_t rec = 9;
    EXPECT_EQ(call(&rec), 0);
    EXPECT_EQ(rec, 0u);
    machine.advanceNs(3'999'999);
    EXPECT_EQ(call(&rec), 0);
    machine.advanceNs(1);  // 5 ms after the first
    EXPECT_EQ(call(&rec), 1);
}

TEST_F(RootCauseTest, ReadingOlderThanTheLastPassIsTooSoon) {
    // Two racing callers: the one that read the clock first stamps second.
    EXPECT_TRUE(rc.admit(20'000'000));
    EXPECT_FALSE(rc.admit(19'000'000));
    EXPECT_FALSE(rc.admit(24'999'999));
    EXPECT_TRUE(rc.admit(25'000'000));
}

TEST_F(RootCauseTest, ProfilerFailureOrNoOffenderMeansNoRecovery) {
    std::uint32_t rec = 9;
    machine.failOp(Op::CreateProcessSnapshot, zk::win::ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(call(&rec), -2);
    EXPECT_EQ(rec, 0u);

    zk::stutter::profiler().resetForTests();
    machine.advanceMs(5);
    machine.process(kHog)->memory.workingSetSize = 1999 * MB;
    rec = 9;
    EXPECT_EQ(call(&rec), 0);
    EXPECT_EQ(rec, 0u);
    EXPECT_TRUE(lines().empty());
}

TEST(RootCauseRecords, OffenderNameIsCutAndTheCategoryNamed) {
    PfRootCause r{};
    r.pid = 77;
    std::memset(r.name, 'x', sizeof r.name);  // no terminator at all
    r.category = 2;
    r.score = 33.5;
    r.ramMB = 123.25;
    r.faults = 9;
    const auto o = zk::stutter::offenderInfo(r);
    EXPECT_EQ(o.pid, 77u);
    EXPECT_EQ(std::string(o.name), std::string(63, 'x'));
    EXPECT_STREQ(o.reason, "io");
    EXPECT_EQ(o.score, 33.5);
    EXPECT_EQ(o.rssMB, 123.25);
    EXPECT_EQ(o.faults, 9u);
}

class RootCauseExportTest : public zk::test::RecoveryTest {};

TEST_F(RootCauseExportTest, BeforeAnyAnalysisTheExportReportsNoMetrics) {
    QTM_ResetMetrics();
    PfRootCause out{};
    std::uint32_t rec = 9;
    EXPECT_EQ(QTM_GetStutterRootCause(kGame, 0.5, 2.0, 50, 50, 0, 0, 1, &out, &rec), -2);
    EXPECT_EQ(rec, 0u);
    EXPECT_EQ(QTM_GetStutterRootCause(kGame, 0.5, 2.0, 50, 50, 0, 0, 1, &out, nullptr), -2);
    rec = 9;
    EXPECT_EQ(QTM_GetStutterRootCause(kGame, 0.5, 2.0, 50, 50, 0, 0, 1, nullptr, &rec), -1);
    EXPECT_EQ(rec, 0u);
}

}  // namespace
