// Recovery counters, cooldowns, the 4-core safety test, the log channel and its number format.

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

#include "common/text_format.h"
#include "recovery_fixture.h"
#include "stutter/recovery_records.h"

namespace {

using zk::stutter::recoveryState;
using zk::stutter::RecoveryCounter;
using zk::test::Lines;

class RecoveryStateTest : public zk::test::RecoveryTest {};

TEST_F(RecoveryStateTest, MetricsAreCopiedInCounterOrder) {
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k <= i; ++k) recoveryState().count(static_cast<RecoveryCounter>(i));
    QtmRecoveryMetrics m;
    QTM_GetRecoveryMetrics(&m);
    const QtmRecoveryMetrics want{1, 2, 3, 4, 5, 6};  // soft, hard, failures, L1, L2, L3
    EXPECT_EQ(std::memcmp(&m, &want, sizeof m), 0);
}

TEST_F(RecoveryStateTest, CooldownLengthsByLevelAndSizeAndTheirEnd) {
    const struct { std::int32_t level; std::uint64_t rssMB; double seconds; } cases[] = {
        {2, 300, 255}, {1, 350, 150}, {3, 100, 180}, {1, 250, 60} /* the +45 needs level 2 */, {3, 200, 225},
        {2, 199, 120}, {0, 0, 60}};
    const double t0 = now();
    std::uint32_t pid = 10;
    for (const auto& c : cases) {
        recoveryState().armCooldown(pid, c.level, c.rssMB);
        EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(pid++) - t0, c.seconds) << c.level << " " << c.rssMB;
    }
    // Pid 10's 255 s.
    machine.advanceMs(254'999);
    EXPECT_TRUE(recoveryState().inCooldown(10, now()));
    machine.advanceMs(1);  // until == now: no longer later than now
    EXPECT_FALSE(recoveryState().inCooldown(10, now()));
    EXPECT_FALSE(recoveryState().inCooldown(11, now()));
}

TEST_F(RecoveryStateTest, FourCoreSafetyLogsOnEveryCallAtFourProcessorsOrFewer) {
    const struct { std::uint32_t processors; bool passes; const char* line; } cases[] = {
        {5, true, nullptr},
        {4, false, "[INFO] [StutterQTM] 4-core safety → affinity acties uitgeschakeld (cores=4)"},
        {0, false, "[INFO] [StutterQTM] 4-core safety → affinity acties uitgeschakeld (cores=1)"}};
    for (const auto& c : cases) {
        recoveryState().resetForTests();
        clearLines();
        machine.setLogicalProcessorCount(c.processors);
        EXPECT_EQ(recoveryState().fourCoreSafety(), c.passes);
        machine.setLogicalProcessorCount(2);  // the count is read once
        EXPECT_EQ(recoveryState().fourCoreSafety(), c.passes);
        EXPECT_EQ(lines(), c.line ? Lines(2, c.line) : Lines{}) << c.processors;
    }
}

TEST_F(RecoveryStateTest, LogLevelsArePrefixedAndFilteredAndWithoutCallbackGoToTheDebugger) {
    auto& log = zk::stutter::recoveryLog();
    const struct { std::int32_t level, stored; Lines lines; } cases[] = {
        {-2, 0, {"[DEBUG] d", "[INFO] i", "[WARN] w"}}, {1, 1, {"[INFO] i", "[WARN] w"}}, {2, 2, {"[WARN] w"}}, {7, 3, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        clearLines();
        QTM_Stutter_SetMinLogLevel(c.level);
        EXPECT_EQ(log.minLevel(), c.stored);
        log.debug("d");
        log.info("i");
        log.warn("w");
        EXPECT_EQ(lines(), c.lines);
    }
    // A fresh library logs from info up, without a callback to the debugger, the newline apart.
    zk::common::resetAllModules();
    EXPECT_EQ(log.minLevel(), 1);
    log.info("hello");
    EXPECT_EQ(machine.debugOutput(), (Lines{"[INFO] hello", "\n"}));
}

TEST(RecoveryText, DoublesAreWrittenAsAStreamWritesThem) {
    const double values[] = {0.0,    -0.0,  0.3,      2.5,       4.0,     1e6,    123456789.0, 0.0001,
                             1e-05,  97.0,  85.1,     1.0 / 3.0, 2000.0,  -5.25,  1e300,       5e-324,
                             99.9999995, std::numeric_limits<double>::infinity()};
    for (double v : values) {
        std::ostringstream os;
        os << v;
        EXPECT_EQ(zk::text::formatDouble(v), os.str()) << v;
    }
    EXPECT_EQ((zk::text::Message() << "a=" << 1.5 << " b=" << 42u << " c=" << -7 << " " << "x").str(),
              "a=1.5 b=42 c=-7 x");
}

TEST(RecoveryText, MegabytesAndReasonWords) {
    EXPECT_EQ(zk::stutter::wholeMegabytes(350.9), 350u);
    EXPECT_EQ(zk::stutter::wholeMegabytes(-5.0), 0u);
    EXPECT_EQ(zk::stutter::wholeMegabytes(std::nan("")), 0u);
    EXPECT_EQ(zk::stutter::wholeMegabytes(18446744073709551616.0), UINT64_MAX);  // 2^64: the first too large
    const char* words[] = {"unknown", "cpu", "io", "ram", "faults", "unknown"};
    for (int category = 0; category <= 5; ++category) EXPECT_EQ(zk::stutter::reasonWord(category), words[category]);
}

}  // namespace
