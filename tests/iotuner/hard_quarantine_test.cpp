// The hard quarantine: its refusals before anything is changed, the measures it takes,
// and what the tuner records (below normal) for a later restore.

#include <gtest/gtest.h>

#include "iotuner_fixture.h"

namespace {

using namespace zk;

constexpr std::int32_t kGame = 100;
constexpr std::uint32_t kSelf = 1000;

class QuarantineTest : public test::IoTunerTest {
protected:
    void SetUp() override {
        IoTunerTest::SetUp();
        reset_memory_stats();
        machine.addProcess(kGame, 1, "Game.exe");
        machine.addProcess(500, 1, "hog.exe");
    }
    void TearDown() override {
        reset_memory_stats();
        IoTunerTest::TearDown();
    }
    // A refused quarantine opens nothing for a change and cleans no memory.
    void expectUntouched(std::uint32_t pid) {
        for (const auto& o : machine.opens()) {
            if (o.pid == pid) {
                EXPECT_EQ(o.access, win::PROCESS_QUERY_LIMITED_INFORMATION);
            }
        }
        EXPECT_TRUE(machine.changes().empty());
        EXPECT_EQ(get_memory_stats().calls, 0u);
    }
    sim::SimProcess& proc(std::uint32_t pid) { return *machine.process(pid); }
};

TEST_F(QuarantineTest, ConfinesLowersAndCleansOnce) {
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(500, kGame), 1);
    EXPECT_EQ(proc(500).affinity, 1u);
    EXPECT_EQ(proc(500).priorityClass, win::IDLE_PRIORITY_CLASS);  // the tuner's idle over below normal
    EXPECT_EQ(proc(500).ioPriority, 1u);
    EXPECT_EQ(get_memory_stats().calls, 1u);
    EXPECT_EQ(machine.callCount(sim::Op::NtSetSystemInformation), 1u);  // one purge at load 95
    // The call blocks for the cleaning: two steady measurements (80 ms each) and 75 ms after the purge.
    EXPECT_EQ(machine.nowNs(), 235'000'000u);
    EXPECT_TRUE(hasMessage("[INFO] [CPU] pid=500 SUCCESS (PriorityClass -> IDLE, name=hog)"));
    const auto opens = machine.opens();
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_EQ(opens[0].access, win::PROCESS_QUERY_LIMITED_INFORMATION);
    EXPECT_EQ(opens[1].access, 0x1200u);
    EXPECT_EQ(opens[2].access, 0x1200u);
}

TEST_F(QuarantineTest, BelowNormalIsRecordedAsTheFirstClass) {
    proc(500).priorityClass = win::HIGH_PRIORITY_CLASS;
    ASSERT_EQ(Zelkor_HardQuarantine_Offender(500, kGame), 1);
    EXPECT_EQ(iotuner::tuner().records.OriginalCpuPriority.find(500), win::BELOW_NORMAL_PRIORITY_CLASS);
    Zelkor_IOTuner_Restore();
    EXPECT_EQ(proc(500).priorityClass, win::BELOW_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(proc(500).ioPriority, 2u);
    EXPECT_EQ(proc(500).affinity, 1u);  // nothing restores the affinity
}

TEST_F(QuarantineTest, SystemPidsGameAndUnknownPidsAreRefusedFirst) {
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(0, kGame), -1);
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(4, kGame), -1);
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(kGame, kGame), 0);
    EXPECT_TRUE(machine.opens().empty());
    markProtected(kGame);
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(777, kGame), 0);
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(-5, kGame), 0);
    expectUntouched(777);
}

TEST_F(QuarantineTest, CriticalProcessIsRefusedAndUntouched) {
    addProtected(600, 1, "critical.exe").breakOnTermination = true;
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(600, kGame), 0);
    expectUntouched(600);
    EXPECT_EQ(proc(600).affinity, 0u);
    EXPECT_TRUE(logged().empty());
}

TEST_F(QuarantineTest, ProcessesTheTunerProtectsAreRefusedBeforeAnyChange) {
    addProtected(601, 1, "svchost.exe");
    addProtected(602, kSelf, "worker.exe");
    addProtected(603, 1, "BattlEye.exe");
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(601, kGame), 0);
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(602, kGame), 0);
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(603, kGame), 0);
    EXPECT_EQ(messages(), (std::vector<std::string>{"[INFO] [IO] pid=601 SKIPPED (system critical: svchost)",
                                                    "[INFO] [IO] pid=602 SKIPPED (child of Zelkor)",
                                                    "[INFO] [IO] pid=603 SKIPPED (anti-cheat: battleye)"}));
    for (std::uint32_t pid : {601u, 602u, 603u}) expectUntouched(pid);
}

TEST_F(QuarantineTest, UnreadableCriticalFlagLetsTheQuarantineGoOn) {
    machine.failOp(sim::Op::NtQueryInformationProcess, static_cast<std::uint32_t>(win::STATUS_INVALID_INFO_CLASS), 1);
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(500, kGame), 1);
    EXPECT_EQ(proc(500).affinity, 1u);
    machine.hideRoutine(platform::Routine::NtQueryInformationProcess);
    machine.addProcess(501, 1, "hog2.exe");
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(501, kGame), 1);
    EXPECT_EQ(proc(501).affinity, 1u);
}

TEST_F(QuarantineTest, ProcessThatCannotBeChangedStillGetsTheLaterSteps) {
    proc(500).deniedAccess = win::PROCESS_SET_INFORMATION;
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(500, kGame), 1);
    EXPECT_TRUE(hasMessage("[INFO] [IO] pid=500 ACCESS_DENIED (OpenProcess)"));
    EXPECT_EQ(get_memory_stats().calls, 1u);
    EXPECT_EQ(proc(500).affinity, 0u);
    EXPECT_EQ(proc(500).priorityClass, win::NORMAL_PRIORITY_CLASS);
}

}  // namespace
