// Recovery settings, counters, cooldowns, the 4-core safety test and the log channel.

#include <cmath>
#include <limits>
#include <sstream>

#include "platform/text_format.h"
#include "stutter/recovery_records.h"
#include "recovery_fixture.h"

namespace {

using zk::stutter::recoveryState;
using zk::stutter::RecoveryCounter;

class RecoveryStateTest : public zk::test::RecoveryTest {};

TEST_F(RecoveryStateTest, ConfigIsStoredAsGivenAndNullIsIgnored) {
    QtmRecoveryConfig c{3, 10, -4, 15, 30.5, -1.0};
    QTM_SetRecoveryConfig(&c);
    QTM_SetRecoveryConfig(nullptr);
    const QtmRecoveryConfig got = recoveryState().config();
    EXPECT_EQ(got.softMinScore, 3);
    EXPECT_EQ(got.hardMinScore, 10);
    EXPECT_EQ(got.surgicalL2MinScore, -4);
    EXPECT_EQ(got.surgicalL3MinScore, 15);
    EXPECT_EQ(got.softCooldownSec, 30.5);
    EXPECT_EQ(got.hardCooldownSec, -1.0);
}

TEST_F(RecoveryStateTest, MetricsAreCopiedInCounterOrder) {
    QtmRecoveryMetrics m;
    QTM_GetRecoveryMetrics(&m);
    EXPECT_EQ(m.softRecoveries + m.hardRecoveries + m.surgicalFailures + m.surgicalL1 + m.surgicalL2 + m.surgicalL3, 0u);
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k <= i; ++k) recoveryState().count(static_cast<RecoveryCounter>(i));
    QTM_GetRecoveryMetrics(&m);
    EXPECT_EQ(m.softRecoveries, 1u);
    EXPECT_EQ(m.hardRecoveries, 2u);
    EXPECT_EQ(m.surgicalFailures, 3u);
    EXPECT_EQ(m.surgicalL1, 4u);
    EXPECT_EQ(m.surgicalL2, 5u);
    EXPECT_EQ(m.surgicalL3, 6u);
    QTM_GetRecoveryMetrics(nullptr);
}

TEST_F(RecoveryStateTest, ArmCooldownFigures) {
    const double t0 = now();
    recoveryState().armCooldown(10, 2, 350);
    recoveryState().armCooldown(11, 1, 350);
    recoveryState().armCooldown(12, 3, 100);
    recoveryState().armCooldown(13, 1, 250);  // the +45 needs level 2 or more
    recoveryState().armCooldown(14, 3, 200);
    recoveryState().armCooldown(15, 0, 0);
    EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(10) - t0, 255.0);
    EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(11) - t0, 150.0);
    EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(12) - t0, 180.0);
    EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(13) - t0, 60.0);
    EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(14) - t0, 225.0);
    EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(15) - t0, 60.0);
    EXPECT_EQ(recoveryState().cooldownUntil(99), 0.0);
}

TEST_F(RecoveryStateTest, CooldownExpiresOnTheClock) {
    recoveryState().armCooldown(10, 2, 350);
    EXPECT_TRUE(recoveryState().inCooldown(10, now()));
    machine.advanceMs(254'999);
    EXPECT_TRUE(recoveryState().inCooldown(10, now()));
    machine.advanceMs(1);  // until == now: no longer later than now
    EXPECT_FALSE(recoveryState().inCooldown(10, now()));
    EXPECT_FALSE(recoveryState().inCooldown(11, now()));
}

TEST_F(RecoveryStateTest, FourCoreSafetyLogsOnEveryCallAtFourProcessors) {
    machine.setLogicalProcessorCount(4);
    EXPECT_FALSE(recoveryState().fourCoreSafety());
    EXPECT_FALSE(recoveryState().fourCoreSafety());
    EXPECT_EQ(count("[INFO] [StutterQTM] 4-core safety → affinity acties uitgeschakeld (cores=4)"), 2);
}

TEST_F(RecoveryStateTest, FourCoreSafetyPassesSilentlyAboveFourAndCachesTheCount) {
    machine.setLogicalProcessorCount(5);
    EXPECT_TRUE(recoveryState().fourCoreSafety());
    machine.setLogicalProcessorCount(2);  // read once
    EXPECT_TRUE(recoveryState().fourCoreSafety());
    EXPECT_TRUE(lines().empty());
}

TEST_F(RecoveryStateTest, ZeroProcessorsCountAsOne) {
    machine.setLogicalProcessorCount(0);
    EXPECT_EQ(recoveryState().processorCount(), 1u);
    EXPECT_FALSE(recoveryState().fourCoreSafety());
    EXPECT_EQ(count("[INFO] [StutterQTM] 4-core safety → affinity acties uitgeschakeld (cores=1)"), 1);
}

TEST_F(RecoveryStateTest, LogLevelsArePrefixedAndFiltered) {
    auto& log = zk::stutter::recoveryLog();
    QTM_Stutter_SetMinLogLevel(-2);  // stored as 0
    EXPECT_EQ(log.minLevel(), 0);
    log.debug("d");
    log.info("i");
    log.warn("w");
    EXPECT_EQ(lines(), (std::vector<std::string>{"[DEBUG] d", "[INFO] i", "[WARN] w"}));

    zk::test::RecoveryLines::clear();
    QTM_Stutter_SetMinLogLevel(2);
    log.debug("d");
    log.info("i");
    log.warn("w");
    EXPECT_EQ(lines(), (std::vector<std::string>{"[WARN] w"}));

    zk::test::RecoveryLines::clear();
    QTM_Stutter_SetMinLogLevel(7);  // stored as 3: nothing
    EXPECT_EQ(log.minLevel(), 3);
    log.warn("w");
    EXPECT_TRUE(lines().empty());
}

TEST_F(RecoveryStateTest, WithoutCallbackLinesGoToTheDebuggerWithASeparateNewline) {
    QTM_Stutter_SetLogCallback(nullptr);
    zk::stutter::recoveryLog().info("hello");
    EXPECT_EQ(machine.debugOutput(), (std::vector<std::string>{"[INFO] hello", "\n"}));
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

TEST(RecoveryText, MegabytesTruncateSafely) {
    EXPECT_EQ(zk::stutter::wholeMegabytes(350.9), 350u);
    EXPECT_EQ(zk::stutter::wholeMegabytes(-5.0), 0u);
    EXPECT_EQ(zk::stutter::wholeMegabytes(std::nan("")), 0u);
    EXPECT_EQ(zk::stutter::wholeMegabytes(1e30), UINT64_MAX);
}

TEST(RecoveryText, ReasonWords) {
    EXPECT_EQ(zk::stutter::reasonWord(1), "cpu");
    EXPECT_EQ(zk::stutter::reasonWord(2), "io");
    EXPECT_EQ(zk::stutter::reasonWord(3), "ram");
    EXPECT_EQ(zk::stutter::reasonWord(4), "faults");
    EXPECT_EQ(zk::stutter::reasonWord(7), "unknown");
    EXPECT_EQ(zk::stutter::reasonWord(0), "unknown");
}

}  // namespace
