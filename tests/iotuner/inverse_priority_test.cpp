// Lowering one process and the bulk pass: the exact lines of each step, the first-seen
// records, the privilege set-up, the rate limit and the platform's failure paths.

#include <gtest/gtest.h>

#include <thread>

#include "iotuner_fixture.h"

namespace {

using namespace zk;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kGame = 100;
constexpr std::uint32_t kSelf = 1000;  // the machine's current process
constexpr std::uint32_t kTunerAccess = 0x1200;

class InverseIoTest : public test::IoTunerTest {
protected:
    void SetUp() override {
        IoTunerTest::SetUp();
        machine.addProcess(kGame, 1, "Game.exe");
        // The privilege lines of the single-process export come once; get them over with.
        Zelkor_IOTuner_LowerSinglePid(0, 0, 0, 0, 0);
        clearLog();
        machine.clearChanges();
    }
    int lower(std::uint32_t pid) {
        clearLog();
        return Zelkor_IOTuner_LowerSinglePid(pid, kGame, kSelf, 1, 0);
    }
    std::optional<std::uint32_t> ioRecord(std::uint32_t pid) {
        return iotuner::tuner().records.OriginalIoPriority.find(pid);
    }
    std::optional<std::uint32_t> cpuRecord(std::uint32_t pid) {
        return iotuner::tuner().records.OriginalCpuPriority.find(pid);
    }
    sim::SimProcess& proc(std::uint32_t pid) { return *machine.process(pid); }
};

TEST_F(InverseIoTest, LowersIoThenCpuThroughOneHandle) {
    machine.addProcess(500, 1, "C:\\Apps\\Chrome.exe").priorityClass = win::HIGH_PRIORITY_CLASS;
    EXPECT_EQ(lower(500), 1);
    EXPECT_EQ(messages(), (Lines{"[INFO] [IO] pid=500 SUCCESS (new_level=1, name=chrome)",
                                 "[INFO] [CPU] pid=500 SUCCESS (PriorityClass -> IDLE, name=chrome)"}));
    EXPECT_EQ(proc(500).ioPriority, 1u);
    EXPECT_EQ(proc(500).priorityClass, win::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(ioRecord(500), 2u);
    EXPECT_EQ(cpuRecord(500), win::HIGH_PRIORITY_CLASS);
    ASSERT_EQ(machine.opens().size(), 1u);
    EXPECT_EQ(machine.opens()[0].access, kTunerAccess);
}

TEST_F(InverseIoTest, FirstSeenValuesAreKeptAcrossLowerings) {
    machine.addProcess(500, 1, "app.exe").ioPriority = 3;
    ASSERT_EQ(lower(500), 1);
    machine.withProcess(500, [](sim::SimProcess& p) {
        p.ioPriority = 2;
        p.priorityClass = win::ABOVE_NORMAL_PRIORITY_CLASS;
    });
    ASSERT_EQ(lower(500), 1);
    EXPECT_EQ(ioRecord(500), 3u);
    EXPECT_EQ(cpuRecord(500), win::NORMAL_PRIORITY_CLASS);
}

TEST_F(InverseIoTest, IoAlreadyAtOrBelowTargetStillGetsTheIdleClass) {
    machine.addProcess(500, 1, "low.exe").ioPriority = 1;
    machine.addProcess(501, 1, "verylow.exe").ioPriority = 0;
    EXPECT_EQ(lower(500), 1);
    EXPECT_EQ(messages(), (Lines{"[INFO] [IO] pid=500 SKIPPED (desired>=original, original=1)",
                                 "[INFO] [CPU] pid=500 SUCCESS (PriorityClass -> IDLE, name=low)"}));
    EXPECT_EQ(lower(501), 1);
    EXPECT_EQ(messages()[0], "[INFO] [IO] pid=501 SKIPPED (desired>=original, original=0)");
    EXPECT_EQ(proc(501).ioPriority, 0u);
    EXPECT_EQ(ioRecord(501), 0u);  // written back unchanged by a restore
}

TEST_F(InverseIoTest, AlreadyIdleCountsOnlyWhenTheIoStepLowered) {
    machine.addProcess(500, 1, "idle.exe").priorityClass = win::IDLE_PRIORITY_CLASS;
    auto& both = machine.addProcess(501, 1, "idlelow.exe");
    both.priorityClass = win::IDLE_PRIORITY_CLASS;
    both.ioPriority = 1;
    EXPECT_EQ(lower(500), 1);
    EXPECT_EQ(messages()[1], "[INFO] [CPU] pid=500 ALREADY IDLE (name=idle)");
    EXPECT_EQ(lower(501), 0);
    EXPECT_EQ(cpuRecord(501), win::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(machine.changes(), std::vector<std::string>{"NtSetInformationProcess 500 33 1"});
}

TEST_F(InverseIoTest, Wow64ProcessKeepsItsIoPriority) {
    machine.addProcess(500, 1, "old32.exe").wow64 = true;
    EXPECT_EQ(lower(500), 1);
    EXPECT_EQ(messages(), (Lines{"[INFO] [IO] pid=500 SKIPPED (WOW64 process, 64-bit tuner)",
                                 "[INFO] [CPU] pid=500 SUCCESS (PriorityClass -> IDLE, name=old32)"}));
    EXPECT_EQ(proc(500).ioPriority, 2u);
    EXPECT_FALSE(ioRecord(500));
    // Without the routine, or when it fails, the process counts as native.
    machine.failOp(sim::Op::IsWow64Process, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(lower(500), 1);
    EXPECT_EQ(proc(500).ioPriority, 1u);
}

TEST_F(InverseIoTest, OpenFailureIsReportedByBothSteps) {
    machine.addProcess(500, 1, "guarded.exe").deniedAccess = win::PROCESS_SET_INFORMATION;
    machine.addProcess(501, 1, "gone.exe");
    EXPECT_EQ(lower(500), 0);
    EXPECT_EQ(messages(), (Lines{"[INFO] [IO] pid=500 ACCESS_DENIED (OpenProcess)",
                                 "[INFO] [CPU] pid=500 SKIPPED (OpenProcess error=5)"}));
    machine.failOp(sim::Op::OpenProcess, win::ERROR_INVALID_PARAMETER, 1);
    EXPECT_EQ(lower(501), 0);
    EXPECT_EQ(messages(), (Lines{"[INFO] [IO] pid=501 SKIPPED (OpenProcess error=87)",
                                 "[INFO] [CPU] pid=501 SKIPPED (OpenProcess error=87)"}));
    EXPECT_FALSE(cpuRecord(500) || cpuRecord(501) || ioRecord(500) || ioRecord(501));
}

TEST_F(InverseIoTest, NativeCallFailuresAreLoggedWithTheirStatus) {
    machine.addProcess(500, 1, "a.exe");
    machine.failOp(sim::Op::NtSetInformationProcess, static_cast<std::uint32_t>(win::STATUS_NOT_IMPLEMENTED), 1);
    EXPECT_EQ(lower(500), 1);
    EXPECT_EQ(messages()[0], "[INFO] [IO] pid=500 SKIPPED (NtSet status=-1073741822)");
    EXPECT_EQ(ioRecord(500), 2u);  // the query had succeeded
    EXPECT_EQ(proc(500).ioPriority, 2u);
}

TEST_F(InverseIoTest, UnreadableIoPriorityIsSetAndRecordedAsNormal) {
    machine.addProcess(500, 1, "a.exe").ioPriority = 0;
    machine.failOp(sim::Op::NtQueryInformationProcess, static_cast<std::uint32_t>(win::STATUS_INVALID_INFO_CLASS), 1);
    EXPECT_EQ(lower(500), 1);
    EXPECT_EQ(messages()[0], "[INFO] [IO] pid=500 SUCCESS (new_level=1, name=a)");
    EXPECT_EQ(proc(500).ioPriority, 1u);
    EXPECT_EQ(ioRecord(500), 2u);
}

TEST_F(InverseIoTest, MissingRoutinesAreLoggedOnceAndSkipTheirParts) {
    iotuner::tuner().resetForTests();
    machine.hideRoutine(platform::Routine::NtSetInformationProcess);
    machine.hideRoutine(platform::Routine::NtQueryInformationProcess);
    machine.addProcess(500, 1, "a.exe");
    machine.addProcess(501, 1, "b.exe");
    EXPECT_EQ(lower(500), 1);
    EXPECT_EQ(messages(), (Lines{"[INFO] [IOTuner] Privileges initialised (SeDebugPrivilege requested).",
                                 "[ERROR] [IOTuner] NtSetInformationProcess not available.",
                                 "[WARNING] [IOTuner] NtQueryInformationProcess not available.",
                                 "[INFO] [IO] pid=500 SKIPPED (NtSetInformationProcess unavailable)",
                                 "[INFO] [CPU] pid=500 SUCCESS (PriorityClass -> IDLE, name=a)"}));
    EXPECT_EQ(lower(501), 1);
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(InverseIoTest, WithoutTheQueryRoutineTheLevelIsSetUntested) {
    machine.hideRoutine(platform::Routine::NtQueryInformationProcess);
    machine.addProcess(500, 1, "low.exe").ioPriority = 1;
    EXPECT_EQ(lower(500), 1);
    EXPECT_EQ(messages(), (Lines{"[WARNING] [IOTuner] NtQueryInformationProcess not available.",
                                 "[INFO] [IO] pid=500 SUCCESS (new_level=1, name=low)",
                                 "[INFO] [CPU] pid=500 SUCCESS (PriorityClass -> IDLE, name=low)"}));
    EXPECT_EQ(ioRecord(500), 2u);
}

TEST_F(InverseIoTest, PriorityClassFailures) {
    machine.addProcess(500, 1, "a.exe").ioPriority = 1;
    machine.failOp(sim::Op::GetPriorityClass, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(lower(500), 0);
    EXPECT_EQ(messages()[1], "[INFO] [CPU] pid=500 SKIPPED (GetPriorityClass failed)");
    EXPECT_FALSE(cpuRecord(500));
    machine.failOp(sim::Op::SetPriorityClass, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(lower(500), 0);
    EXPECT_EQ(messages()[1], "[INFO] [CPU] pid=500 SKIPPED (SetPriorityClass failed, err=5)");
    EXPECT_EQ(cpuRecord(500), win::NORMAL_PRIORITY_CLASS);
}

TEST_F(InverseIoTest, PrivilegeSetUpOncePerExport) {
    iotuner::tuner().resetForTests();
    machine.resetCallCounts();
    const std::string done = "[INFO] [IOTuner] Privileges initialised (SeDebugPrivilege requested).";
    auto count = [&] {
        int n = 0;
        for (const auto& m : messages()) n += m == done;
        return n;
    };
    for (int i = 0; i < 2; ++i) {
        Zelkor_IOTuner_ApplyInverseIo(kGame, 0);
        Zelkor_IOTuner_ApplyInverseIoEx(kGame + 1 + i, 0, 0);
        Zelkor_IOTuner_LowerSinglePid(0, 0, 0, 0, 0);
        machine.advanceMs(500);
    }
    EXPECT_EQ(count(), 3);
    EXPECT_TRUE(machine.privilegeEnabled("SeDebugPrivilege"));
    EXPECT_EQ(machine.callCount(sim::Op::OpenProcessToken), 3u);
}

TEST_F(InverseIoTest, PrivilegeFailuresAreWarnings) {
    const std::string notEnabled = "[WARNING] [IOTuner] SeDebugPrivilege could not be enabled.";
    const std::string done = "[INFO] [IOTuner] Privileges initialised (SeDebugPrivilege requested).";
    auto setUpWith = [&](auto breakIt) {
        iotuner::tuner().resetForTests();
        machine.clearFaults();
        breakIt();
        clearLog();
        Zelkor_IOTuner_LowerSinglePid(0, 0, 0, 0, 0);
        auto m = messages();
        m.pop_back();  // the refusal of pid 0
        return m;
    };
    EXPECT_EQ(setUpWith([&] { machine.failOp(sim::Op::OpenProcessToken, win::ERROR_ACCESS_DENIED); }),
              (Lines{"[WARNING] [IOTuner] OpenProcessToken FAILED.", notEnabled, done}));
    EXPECT_EQ(setUpWith([&] { machine.failOp(sim::Op::LookupPrivilegeValue, win::ERROR_NO_SUCH_PRIVILEGE); }),
              (Lines{"[WARNING] [IOTuner] LookupPrivilegeValue FAILED.", notEnabled, done}));
    EXPECT_EQ(setUpWith([&] { machine.failOp(sim::Op::AdjustTokenPrivilege, win::ERROR_ACCESS_DENIED); }),
              (Lines{"[WARNING] [IOTuner] AdjustTokenPrivileges FAILED.", notEnabled, done}));
    // A token without the privilege still makes AdjustTokenPrivileges return nonzero.
    EXPECT_EQ(setUpWith([&] { machine.notAllAssigned("SeDebugPrivilege"); }), Lines{done});
}

class BulkPassTest : public InverseIoTest {
protected:
    void SetUp() override {
        InverseIoTest::SetUp();
        machine.addProcess(101, kGame, "GameHelper.exe");                 // the game's child is lowered
        machine.addProcess(300, 1, "svchost.exe");
        machine.addProcess(301, 1, "Discord.exe");
        machine.addProcess(302, 1, "obs64.exe");
        machine.addProcess(303, 1, "RuntimeBroker.exe");
        machine.addProcess(304, 1, "chrome.exe");
        machine.addProcess(305, kSelf, "worker.exe");                     // the engine's child
        machine.addProcess(306, 1, "BEClient_x64.exe");
        machine.addProcess(307, 1, "BattlEye_launcher.exe");
        auto& settled = machine.addProcess(308, 1, "settled.exe");       // nothing left to lower
        settled.priorityClass = win::IDLE_PRIORITY_CLASS;
        settled.ioPriority = 1;
        machine.addProcess(4, 0, "System");
        markProtected(305);
        markProtected(kSelf);  // the engine itself
        markProtected(4);
        machine.resetCallCounts();
    }
    std::vector<std::uint32_t> lowered() {
        std::vector<std::uint32_t> out;
        for (std::uint32_t pid : {101u, 301u, 302u, 303u, 304u, 306u, 307u, 308u})
            if (proc(pid).priorityClass == win::IDLE_PRIORITY_CLASS && pid != 308) out.push_back(pid);
        return out;
    }
};

TEST_F(BulkPassTest, LowersEveryUnprotectedProcessSilentlyRefusingTheRest) {
    markProtected(kGame);
    EXPECT_EQ(Zelkor_IOTuner_ApplyInverseIo(kGame, 0), 4);
    EXPECT_EQ(lowered(), (std::vector<std::uint32_t>{101, 301, 302, 304}));
    const auto m = messages();
    EXPECT_EQ(m.back(), "[INFO] [IOTuner] Inverse IO+CPU applied to 4 processes (game pid=100, streamingMode=false).");
    for (const auto& line : m) EXPECT_EQ(line.find("SKIPPED ("), line.find("SKIPPED (desired")) << line;
    EXPECT_EQ(machine.callCount(sim::Op::CreateProcessSnapshot), 1u);
}

TEST_F(BulkPassTest, AggressiveAndStreamingModes) {
    markProtected(301);
    markProtected(302);
    EXPECT_EQ(Zelkor_IOTuner_ApplyInverseIoEx(kGame, 1, 1), 3);
    EXPECT_EQ(lowered(), (std::vector<std::uint32_t>{101, 303, 304}));
    EXPECT_EQ(messages().back(),
              "[INFO] [IOTuner] Inverse IO+CPU applied to 3 processes (game pid=100, streamingMode=true).");
}

TEST_F(BulkPassTest, RateLimitPerGameOnTheSteadyClock) {
    ASSERT_EQ(Zelkor_IOTuner_ApplyInverseIo(kGame, 0), 4);
    machine.clearChanges();
    machine.resetCallCounts();
    machine.advanceMs(499);
    clearLog();
    EXPECT_EQ(Zelkor_IOTuner_ApplyInverseIoEx(kGame, 1, 0), -1);  // both forms share the table
    EXPECT_EQ(messages().back(), "[WARNING] [IOTuner] Rate limit for game pid=100");
    EXPECT_EQ(machine.changes(), std::vector<std::string>{"AdjustTokenPrivileges SeDebugPrivilege on"})
        << "only the Ex form's first privilege set-up";
    EXPECT_EQ(machine.callCount(sim::Op::CreateProcessSnapshot), 0u);
    EXPECT_GE(Zelkor_IOTuner_ApplyInverseIo(kGame + 1, 0), 0);  // another game at the same moment
    machine.advanceMs(1);  // 500 ms after the last pass let through, not after the refusal
    EXPECT_GE(Zelkor_IOTuner_ApplyInverseIo(kGame, 0), 0);
    machine.advanceMs(499);
    EXPECT_EQ(Zelkor_IOTuner_ApplyInverseIo(kGame, 0), -1);
}

TEST_F(InverseIoTest, RateLimitTableKeepsEveryGameStillWithinItsInterval) {
    iotuner::GameRateLimit limit;
    for (std::uint32_t g = 1; g <= 300; ++g) ASSERT_TRUE(limit.allow(g)) << g;  // past the pruning size
    EXPECT_FALSE(limit.allow(1));
    EXPECT_FALSE(limit.allow(300));
    machine.advanceMs(499);
    EXPECT_TRUE(limit.allow(301));  // prunes, but every game so far is still within 500 ms
    EXPECT_FALSE(limit.allow(2));
    machine.advanceMs(1);
    EXPECT_TRUE(limit.allow(302));  // prunes games 1 to 300
    EXPECT_FALSE(limit.allow(301));
    EXPECT_TRUE(limit.allow(3));
}

TEST_F(BulkPassTest, EmptySnapshotLowersNothingWithoutASummary) {
    machine.failOp(sim::Op::ProcessFirst, win::ERROR_NO_MORE_FILES, 1);
    clearLog();
    EXPECT_EQ(Zelkor_IOTuner_ApplyInverseIo(kGame, 0), 0);
    const auto m = messages();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m.back(), "[ERROR] [IOTuner] Process32FirstW failed.");
    EXPECT_TRUE(lowered().empty());
}

TEST_F(BulkPassTest, ConcurrentPassesAndSingleCallsKeepTheFirstValues) {
    std::vector<std::thread> threads;
    for (std::uint32_t g = 0; g < 4; ++g)
        threads.emplace_back([g] {
            for (int i = 0; i < 20; ++i) {
                Zelkor_IOTuner_ApplyInverseIoEx(5000 + g * 100 + static_cast<std::uint32_t>(i), 0, 0);
                Zelkor_IOTuner_LowerSinglePid(304, kGame, kSelf, 0, 0);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(cpuRecord(304), win::NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(ioRecord(304), 2u);
    EXPECT_EQ(proc(304).priorityClass, win::IDLE_PRIORITY_CLASS);
}

}  // namespace
