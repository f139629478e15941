// The surgical L1/L2/L3 transaction over the simulated machine.

#include <cstring>
#include <new>
#include <vector>

#include "recovery_fixture.h"
#include "stutter/surgical_recovery.h"

namespace {

using zk::sim::Op;
using zk::stutter::recoveryState;
using zk::stutter::surgicalHard;
using zk::test::Lines;
namespace win = zk::win;

class SurgicalTest : public zk::test::RecoveryTest {
protected:
    void SetUp() override {
        RecoveryTest::SetUp();
        addGameAndHog();
        ctx.gamePid = kGame;
        target = offender(kHog, "hog.exe", "cpu", 150.0);
    }
    // Score and thresholds chosen so that the attempt runs at the given level.
    std::int32_t runAtLevel(int level) {
        const QtmRecoveryConfig cfg{0, 0, 10, 15, 0, 0};
        return surgicalHard(ctx, target, level == 3 ? 15 : level == 2 ? 12 : 5, level == 3 ? 91.0 : 50.0, cfg);
    }
    // The hog as a first attempt finds it (no lock, cooldown or count yet), with mask 0xF and
    // below-normal priority.
    void freshHog(std::uint32_t processors = 8) {
        recoveryState().resetForTests();
        machine.setLogicalProcessorCount(processors);
        machine.process(kHog)->affinity = 0x0F;
        machine.process(kHog)->priorityClass = win::BELOW_NORMAL_PRIORITY_CLASS;
        machine.clearChanges();
        clearLines();
    }
    static QtmRecoveryMetrics metrics() { return recoveryState().metrics(); }

    zk::stutter::StutterContext ctx;
    zk::stutter::OffenderInfo target;
};

TEST_F(SurgicalTest, RefusalsOpenNothingAndLeaveNoLock) {
    for (std::uint32_t pid : {4u, kGame, 0u, 0x80000000u}) {
        target.pid = pid;
        EXPECT_EQ(runAtLevel(3), 0);
    }
    target = offender(kHog, "STEAM.exe", "cpu", 150.0);  // launchers in any letter case
    EXPECT_EQ(runAtLevel(3), 0);
    EXPECT_EQ(count("[DEBUG] [StutterQTM][Surgical] Offender PID not allowed → skip."), 4);
    EXPECT_EQ(count("[INFO] [StutterQTM][SAFE][Surgical] Launcher detected → STEAM.exe (pid=500) → no surgical hard actions."), 1);
    EXPECT_TRUE(machine.opens().empty());
    EXPECT_EQ(recoveryState().cooldownUntil(4), 0.0);
    EXPECT_EQ(recoveryState().cooldownUntil(kHog), 0.0);
}

// Each level's steps; a failed step rolls back what changed if it was read, a failed trim
// nothing; a level-1 attempt on four processors commits without changing anything.
TEST_F(SurgicalTest, StepsRollbackAndCooldownOfEachLevel) {
    const std::string info = "[INFO] [StutterQTM][Surgical] ", debug = "[DEBUG] [StutterQTM][Surgical] ";
    const std::string l1 = info + "L1: Affinity → last core pid=500 (hog.exe)";
    const std::string l2 = info + "L2: Priority → IDLE pid=500";
    const std::string l1Failed = debug + "L1: SetProcessAffinityMask failed.",
                      partial = "[WARN] [StutterQTM][Surgical] Transaction partial failure → rollback initiated.";
    const std::string pin = "SetProcessAffinityMask 500 0x80", idle = "SetPriorityClass 500 0x40";
    const struct {
        std::uint32_t processors; int level; double rssMB; std::vector<Op> fail; Lines changes, lines; double cooldown;
    } cases[] = {
        {8, 2, 150, {}, {pin, idle}, {l1, l2}, 120},
        {4, 1, 150, {}, {},
         {"[INFO] [StutterQTM] 4-core safety → affinity acties uitgeschakeld (cores=4)",
          info + "L1 affinity SKIPPED (4-core safety)"}, 60},
        {8, 3, 350.75, {}, {pin, idle, "EmptyWorkingSet 500"},
         {l1, l2, info + "L3: EmptyWorkingSet → rss=350.75MB result=OK"}, 180 + 45 + 90},
        {8, 3, 150, {Op::EmptyWorkingSet}, {pin, idle}, {l1, l2, info + "L3: EmptyWorkingSet → rss=150MB result=FAIL"},
         180},
        {8, 2, 200, {Op::SetPriorityClass}, {pin, "SetProcessAffinityMask 500 0xf"},
         {l1, debug + "L2: SetPriorityClass failed.", partial}, 165},
        {8, 2, 200, {Op::SetProcessAffinityMask}, {idle, "SetPriorityClass 500 0x4000"}, {l1Failed, l2, partial}, 165},
        {8, 2, 200, {Op::GetPriorityClass, Op::SetProcessAffinityMask}, {idle}, {l1Failed, l2, partial}, 165}};
    for (auto c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << ", " << c.fail.size() << " failing");
        freshHog(c.processors);
        target.rssMB = c.rssMB;
        for (Op op : c.fail) machine.failOp(op, win::ERROR_ACCESS_DENIED, 1);
        const double t0 = now();
        EXPECT_EQ(runAtLevel(c.level), 2);
        EXPECT_EQ(machine.opens().back().access, 0x1300u);
        EXPECT_EQ(machine.changes(), c.changes);
        c.lines.push_back(info + "Surgical HARD complete → level=" + std::to_string(c.level) +
                          " pid=500 cooldown armed.");
        EXPECT_EQ(lines(), c.lines);
        const auto m = metrics();
        EXPECT_EQ(std::vector({m.surgicalL1, m.surgicalL2, m.surgicalL3}).at(c.level - 1), 1u);
        EXPECT_EQ(m.surgicalFailures, c.lines[c.lines.size() - 2] == partial ? 1u : 0u);  // with its line
        EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(kHog) - t0, c.cooldown);
    }
}

TEST_F(SurgicalTest, LevelChoice) {
    const struct { QtmRecoveryConfig cfg; int score; double ramPct, rssMB; int level; } cases[] = {
        {{0, 0, 10, 15, 0, 0}, 12, 95.0, 500.0, 2}, {{0, 0, 10, 15, 0, 0}, 15, 91.0, 150.0, 3},
        {{0, 0, 10, 15, 0, 0}, 15, 89.0, 150.0, 2}, {{0, 0, 10, 15, 0, 0}, 15, 90.0, 99.0, 2},
        {{0, 0, 10, 15, 0, 0}, 9, 99.0, 999.0, 1}, {{0, 0, 10, 15, 0, 0}, 10, 50.0, 150.0, 2},
        {{}, 0, 10.0, 10.0, 2}, {{}, 0, 90.0, 100.0, 3},  // all zero: never below level 2
    };
    for (const auto& c : cases) {
        freshHog();
        target.rssMB = c.rssMB;
        EXPECT_EQ(surgicalHard(ctx, target, c.score, c.ramPct, c.cfg), 2);
        EXPECT_EQ(lines().back(), "[INFO] [StutterQTM][Surgical] Surgical HARD complete → level=" +
                                      std::to_string(c.level) + " pid=500 cooldown armed.")
            << c.score << " " << c.ramPct << " " << c.rssMB;
    }
}

TEST_F(SurgicalTest, OpenFailureCountsAndKeepsTheFiveSecondLock) {
    machine.failOp(Op::OpenProcess, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(runAtLevel(2), 0);
    EXPECT_EQ(lines(), Lines{"[DEBUG] [StutterQTM][Surgical] OpenProcess failed → no hard recovery modifications."});
    EXPECT_EQ(metrics().surgicalFailures, 1u);
    EXPECT_EQ(metrics().surgicalL2, 0u);

    machine.advanceMs(4999);
    EXPECT_EQ(runAtLevel(2), 0);
    EXPECT_EQ(count("[INFO] [StutterQTM][Surgical] PID al in cooldown/lock → skip pid=500 (hog.exe)"), 1);
    machine.advanceMs(1);
    EXPECT_EQ(runAtLevel(2), 2);
}

// A line that cannot be built once the transaction has changed the offender: before the
// exception goes on, what an uncommitted transaction changed is put back and the cooldown
// is armed, as at the end of any attempt.
const char* g_failingLine = "";
void ZK_CALL failAt(const char* line) {
    if (std::strstr(line, g_failingLine)) throw std::bad_alloc();
}

TEST_F(SurgicalTest, ALineThatThrowsStillRollsBackAndArmsTheCooldown) {
    const struct { const char* line; bool committed; } cases[] = {
        {"L1: Affinity", false}, {"L2: Priority", false}, {"L3: EmptyWorkingSet", false},
        {"Surgical HARD complete", true}};
    QTM_Stutter_SetLogCallback(&failAt);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        g_failingLine = c.line;
        freshHog();
        const double t0 = now();
        EXPECT_THROW(runAtLevel(3), std::bad_alloc);
        EXPECT_EQ(machine.process(kHog)->affinity == 0x0F, !c.committed);
        EXPECT_EQ(machine.process(kHog)->priorityClass == win::BELOW_NORMAL_PRIORITY_CLASS, !c.committed);
        EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(kHog) - t0, 180.0);
        EXPECT_EQ(metrics().surgicalFailures, c.committed ? 0u : 1u);
    }
}

}  // namespace
