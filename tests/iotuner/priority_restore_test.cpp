// The restore: recorded values back, both phases' exact lines, and every recorded pid
// leaving the records whatever became of it.

#include <gtest/gtest.h>

#include "iotuner_fixture.h"

namespace {

using namespace zk;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kGame = 100, kSelf = 1000;
const std::string kCalled = "[INFO] [IOTuner] RESTORE called (CPU + IO priorities)";
const std::string kCpuStart = "[INFO] [IOTuner] Restoring original CPU priorities...";
const std::string kCpuDone = "[INFO] [IOTuner] CPU priority restore complete.";
const std::string kIoStart = "[INFO] [IOTuner] Restoring original IO priorities...";
const std::string kIoDone = "[INFO] [IOTuner] IO restore complete; snapshot map cleared.";

class RestoreTest : public test::IoTunerTest {
protected:
    iotuner::PriorityRecords& records() { return iotuner::tuner().records; }
    std::size_t recordCount() { return records().OriginalCpuPriority.size() + records().OriginalIoPriority.size(); }
    void lower(std::uint32_t pid) { ASSERT_EQ(Zelkor_IOTuner_LowerSinglePid(pid, kGame, kSelf, 1, 0), 1); }
    void restore() {
        clearLog();
        Zelkor_IOTuner_Restore();
    }
    sim::SimProcess& proc(std::uint32_t pid) { return *machine.process(pid); }
};

TEST_F(RestoreTest, EmptyRecordsGiveFiveLinesAndTouchNothing) {
    restore();
    EXPECT_EQ(messages(), (Lines{kCalled, kCpuStart, kCpuDone, kIoStart, kIoDone}));
    EXPECT_TRUE(machine.opens().empty());
    EXPECT_TRUE(machine.changes().empty());  // not even the lowering's privilege set-up
}

TEST_F(RestoreTest, ReturnsTheStateBeforeTheFirstLowering) {
    auto& p = machine.addProcess(500, 1, "app.exe");
    p.priorityClass = win::HIGH_PRIORITY_CLASS;
    p.ioPriority = 3;
    lower(500);
    machine.withProcess(500, [](sim::SimProcess& q) {
        q.priorityClass = win::NORMAL_PRIORITY_CLASS;
        q.ioPriority = 2;
    });
    lower(500);
    restore();
    EXPECT_EQ(messages(), (Lines{kCalled, kCpuStart, "[INFO] [IOTuner] Restored CPU priority for pid=500 -> 128",
                                 kCpuDone, kIoStart, "[INFO] [IOTuner] Restored IO priority for pid=500 -> 3",
                                 kIoDone}));
    EXPECT_EQ(proc(500).priorityClass, win::HIGH_PRIORITY_CLASS);
    EXPECT_EQ(proc(500).ioPriority, 3u);
    EXPECT_EQ(recordCount(), 0u);
    for (const auto& o : machine.opens()) EXPECT_EQ(o.access, 0x1200u);
}

TEST_F(RestoreTest, ExitedProcessesAreDroppedSilently) {
    machine.addProcess(500, 1, "gone.exe");
    machine.addProcess(501, 1, "stays.exe");
    lower(500);
    lower(501);
    machine.removeProcess(500);
    restore();
    for (const auto& m : messages()) EXPECT_EQ(m.find("pid=500"), std::string::npos) << m;
    EXPECT_TRUE(hasMessage("[INFO] [IOTuner] Restored CPU priority for pid=501 -> 32"));
    EXPECT_EQ(recordCount(), 0u);
}

TEST_F(RestoreTest, FailuresAndWow64AreLoggedAndThePidsStillRemoved) {
    machine.addProcess(500, 1, "a.exe");
    lower(500);
    machine.addProcess(501, 1, "b.exe").wow64 = true;
    records().OriginalIoPriority.record(501, 3);  // recorded before it was known as WOW64
    machine.failOp(sim::Op::SetPriorityClass, win::ERROR_ACCESS_DENIED);
    machine.failOp(sim::Op::NtSetInformationProcess, static_cast<std::uint32_t>(win::STATUS_ACCESS_DENIED));
    restore();
    EXPECT_TRUE(hasMessage("[WARNING] [IOTuner] Failed to restore CPU priority for pid=500, err=5"));
    EXPECT_TRUE(hasMessage("[WARNING] [IOTuner] Failed to restore IO priority for pid=500, status=-1073741790"));
    EXPECT_TRUE(hasMessage("[INFO] [IOTuner] Restore SKIPPED (WOW64 process, 64-bit tuner) pid=501"));
    EXPECT_EQ(messages().size(), 8u);
    restore();  // nothing left to retry
    EXPECT_EQ(messages().size(), 5u);
    EXPECT_EQ(proc(501).ioPriority, 2u);
}

TEST_F(RestoreTest, WithoutTheSetRoutineTheIoRecordsStay) {
    machine.hideRoutine(platform::Routine::NtSetInformationProcess);
    machine.addProcess(500, 1, "a.exe");
    lower(500);
    records().OriginalIoPriority.record(500, 3);
    restore();
    EXPECT_EQ(messages(), (Lines{kCalled, kCpuStart, "[INFO] [IOTuner] Restored CPU priority for pid=500 -> 32",
                                 kCpuDone, kIoStart,
                                 "[WARNING] [IOTuner] NtSetInformationProcess unavailable; IO restore skipped."}));
    EXPECT_EQ(records().OriginalIoPriority.find(500), 3u);
}

TEST_F(RestoreTest, PidRecordedDuringThePassStaysForTheNextRestore) {
    machine.addProcess(500, 1, "a.exe");
    lower(500);
    // A lowering on another thread records 501 while the restore is changing 500.
    machine.setHook(sim::Op::SetPriorityClass, [&] { records().OriginalCpuPriority.record(501, 0x20); });
    restore();
    machine.setHook(sim::Op::SetPriorityClass, nullptr);
    EXPECT_FALSE(records().OriginalCpuPriority.find(500));
    EXPECT_EQ(records().OriginalCpuPriority.find(501), 0x20u);
}

}  // namespace
