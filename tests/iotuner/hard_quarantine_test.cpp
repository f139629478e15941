// The hard quarantine: its refusals before anything is changed, the measures it takes,
// and what the tuner records (below normal) for a later restore.

#include <gtest/gtest.h>

#include "iotuner_fixture.h"

namespace {

using namespace zk;
using Lines = std::vector<std::string>;

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
    // What was changed in processes and the system, privilege set-ups aside.
    Lines changes() {
        Lines out;
        for (auto& c : machine.changes())
            if (c.rfind("AdjustTokenPrivileges", 0) != 0) out.push_back(c);
        return out;
    }
    // A refused quarantine changes nothing and cleans no memory.
    void expectRefused(std::int32_t pid, int result = 0) {
        EXPECT_EQ(Zelkor_HardQuarantine_Offender(pid, kGame), result) << pid;
        EXPECT_TRUE(changes().empty()) << pid;
        EXPECT_EQ(get_memory_stats().calls, 0u) << pid;
    }
    sim::SimProcess& proc(std::uint32_t pid) { return *machine.process(pid); }
};

TEST_F(QuarantineTest, ConfinesLowersAndCleansOnce) {
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(500, kGame), 1);
    // Below normal on the first processor, the tuner's lowering over it, one purge (load 95).
    EXPECT_EQ(changes(), (Lines{"SetPriorityClass 500 0x4000", "SetProcessAffinityMask 500 0x1",
                                "NtSetInformationProcess 500 33 1", "SetPriorityClass 500 0x40",
                                "NtSetSystemInformation 80 4"}));
    // The call blocks for the cleaning: two steady measurements (80 ms each) and 75 ms after the purge.
    EXPECT_EQ(machine.nowNs(), 235'000'000u);
}

TEST_F(QuarantineTest, BelowNormalIsRecordedAsTheFirstClass) {
    proc(500).priorityClass = win::HIGH_PRIORITY_CLASS;
    ASSERT_EQ(Zelkor_HardQuarantine_Offender(500, kGame), 1);
    Zelkor_IOTuner_Restore();
    EXPECT_EQ(proc(500).priorityClass, win::BELOW_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(proc(500).ioPriority, 2u);
}

TEST_F(QuarantineTest, RefusalsComeBeforeAnyChange) {
    addProtected(600, 1, "critical.exe").breakOnTermination = true;
    addProtected(601, 1, "svchost.exe");
    addProtected(602, kSelf, "worker.exe");  // the engine is the calling process
    markProtected(kGame);
    expectRefused(0, -1);
    expectRefused(4, -1);
    expectRefused(kGame);
    EXPECT_TRUE(machine.opens().empty());  // refused before anything is opened
    for (std::int32_t pid : {777, -5, 600, 601, 602}) expectRefused(pid);
    // Only the tuner's own rules log their refusal.
    EXPECT_EQ(messages(), (Lines{"[INFO] [IO] pid=601 SKIPPED (system critical: svchost)",
                                 "[INFO] [IO] pid=602 SKIPPED (child of Zelkor)"}));
}

TEST_F(QuarantineTest, UnreadableCriticalFlagLetsTheQuarantineGoOn) {
    machine.failOp(sim::Op::NtQueryInformationProcess, static_cast<std::uint32_t>(win::STATUS_INVALID_INFO_CLASS), 1);
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(500, kGame), 1);
    EXPECT_EQ(proc(500).affinity, 1u);
}

TEST_F(QuarantineTest, ProcessThatCannotBeChangedStillGetsTheLaterSteps) {
    proc(500).deniedAccess = win::PROCESS_SET_INFORMATION;
    EXPECT_EQ(Zelkor_HardQuarantine_Offender(500, kGame), 1);
    EXPECT_TRUE(hasMessage("[INFO] [IO] pid=500 ACCESS_DENIED (OpenProcess)"));
    EXPECT_EQ(changes(), Lines{"NtSetSystemInformation 80 4"});
}

}  // namespace
