// The tuner's priority exports: lowering one process and the bulk pass (the exact lines of
// each step, the first-seen records, the privilege set-up, the rate limit and the
// platform's failure paths), the restore (the recorded values back, and every recorded pid
// leaving the records whatever became of it), and the hard quarantine.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <thread>

#include "common/reset_registry.h"
#include "iotuner_fixture.h"

namespace {

using namespace zk;
using Lines = std::vector<std::string>;
using Record = std::optional<std::uint32_t>;

constexpr std::uint32_t kGame = 100, kSelf = 1000;  // kSelf: the machine's current process
constexpr std::uint32_t kTunerAccess = 0x1200;
const std::string kPrivilegesDone = "[INFO] [IOTuner] Privileges initialised (SeDebugPrivilege requested).";

class InverseIoTest : public test::IoTunerTest {
protected:
    void SetUp() override {
        IoTunerTest::SetUp();
        machine.addProcess(kGame, 1, "Game.exe");
        // The privilege lines of the single-process export come once; get them over with.
        Zelkor_IOTuner_LowerSinglePid(0, 0, 0, 0, 0);
        clearLog();
    }
    int lower(std::uint32_t pid) {
        clearLog();
        return Zelkor_IOTuner_LowerSinglePid(pid, kGame, kSelf, 1, 0);
    }
    static Record ioRecord(std::uint32_t pid) { return iotuner::tuner().records.OriginalIoPriority.find(pid); }
    static Record cpuRecord(std::uint32_t pid) { return iotuner::tuner().records.OriginalCpuPriority.find(pid); }
    sim::SimProcess& proc(std::uint32_t pid) { return *machine.process(pid); }
};

// One process lowered through the single-process export from a given state or with a
// given fault: the result, both steps' lines and the values recorded. A step changes its
// value exactly when it logs SUCCESS.
struct LowerCase {
    const char* what;
    std::uint32_t io, cls;  // before
    std::function<void(sim::SimMachine&, sim::SimProcess&)> fault;
    int result;
    std::string ioLine, cpuLine;  // after "[INFO] [IO] pid=500" / "[INFO] [CPU] pid=500"
    Record ioRecord, cpuRecord;
    Lines resolution = {};  // the lines of the first routine look-up
};
void PrintTo(const LowerCase& c, std::ostream* os) { *os << c.what; }

constexpr std::uint32_t kNormal = win::NORMAL_PRIORITY_CLASS, kIdle = win::IDLE_PRIORITY_CLASS;
const std::string kIoOk = " SUCCESS (new_level=1, name=a)", kCpuOk = " SUCCESS (PriorityClass -> IDLE, name=a)";
const std::string kNoQuery = "[WARNING] [IOTuner] NtQueryInformationProcess not available.";
const std::string kIoAt1 = " SKIPPED (desired>=original, original=1)", kIdleAlready = " ALREADY IDLE (name=a)";
auto fail(sim::Op op, std::int64_t code) {
    return [=](sim::SimMachine& m, sim::SimProcess&) { m.failOp(op, static_cast<std::uint32_t>(code), 1); };
}
template <class... R>
auto hide(R... routines) {
    return [=](sim::SimMachine& m, sim::SimProcess&) { (m.hideRoutine(routines), ...); };
}
using platform::Routine;

const LowerCase kLowerCases[] = {
    {"IoThenCpu", 2, win::HIGH_PRIORITY_CLASS, {}, 1, kIoOk, kCpuOk, 2, win::HIGH_PRIORITY_CLASS},
    {"IoAlreadyLowStillGetsIdle", 1, kNormal, {}, 1, kIoAt1, kCpuOk, 1, kNormal},
    {"AlreadyIdleCountsThroughIo", 2, kIdle, {}, 1, kIoOk, kIdleAlready, 2, kIdle},
    {"IdleAndLowIsNotLowered", 1, kIdle, {}, 0, kIoAt1, kIdleAlready, 1, kIdle},
    {"IoAt0IsNotRaised", 0, kNormal, {}, 1, " SKIPPED (desired>=original, original=0)", kCpuOk, 0, kNormal},
    {"Wow64KeepsItsIoPriority", 2, kNormal, [](auto&, auto& p) { p.wow64 = true; }, 1,
     " SKIPPED (WOW64 process, 64-bit tuner)", kCpuOk, {}, kNormal},
    {"Wow64TestFailingCountsAsNative", 2, kNormal,
     [](auto& m, auto& p) { p.wow64 = true; m.failOp(sim::Op::IsWow64Process, win::ERROR_ACCESS_DENIED, 1); }, 1,
     kIoOk, kCpuOk, 2, kNormal},
    {"Protected", 2, kNormal, [](auto&, auto& p) { p.protectionLevel = sim::kProtectedLevel; }, 0,
     " ACCESS_DENIED (OpenProcess)", " SKIPPED (OpenProcess error=5)", {}, {}},
    {"OpenFailing", 2, kNormal, fail(sim::Op::OpenProcess, win::ERROR_INVALID_PARAMETER), 0,
     " SKIPPED (OpenProcess error=87)", " SKIPPED (OpenProcess error=87)", {}, {}},
    {"NtSetFailing", 2, kNormal, fail(sim::Op::NtSetInformationProcess, win::STATUS_NOT_IMPLEMENTED), 1,
     " SKIPPED (NtSet status=-1073741822)", kCpuOk, 2, kNormal},
    {"UnreadableIoIsSetAndRecordedAsNormal", 0, kNormal,
     fail(sim::Op::NtQueryInformationProcess, win::STATUS_INVALID_INFO_CLASS), 1, kIoOk, kCpuOk, 2, kNormal},
    {"NoQueryRoutineSetsTheLevelUnread", 1, kNormal, hide(Routine::NtQueryInformationProcess), 1, kIoOk, kCpuOk, 2,
     kNormal, {kNoQuery}},
    {"NoRoutines", 2, kNormal, hide(Routine::NtQueryInformationProcess, Routine::NtSetInformationProcess), 1,
     " SKIPPED (NtSetInformationProcess unavailable)", kCpuOk, {}, kNormal,
     {"[ERROR] [IOTuner] NtSetInformationProcess not available.", kNoQuery}},
    {"GetPriorityClassFailing", 1, kNormal, fail(sim::Op::GetPriorityClass, win::ERROR_ACCESS_DENIED), 0, kIoAt1,
     " SKIPPED (GetPriorityClass failed)", 1, {}},
    {"SetPriorityClassFailing", 1, kNormal, fail(sim::Op::SetPriorityClass, win::ERROR_ACCESS_DENIED), 0, kIoAt1,
     " SKIPPED (SetPriorityClass failed, err=5)", 1, kNormal},
};

class LowerOneTest : public InverseIoTest, public ::testing::WithParamInterface<LowerCase> {};

TEST_P(LowerOneTest, ResultLinesValuesAndRecords) {
    const LowerCase& c = GetParam();
    auto& p = machine.addProcess(500, 1, "C:\\Apps\\A.exe");
    p.ioPriority = c.io;
    p.priorityClass = c.cls;
    if (c.fault) c.fault(machine, p);
    EXPECT_EQ(lower(500), c.result);
    Lines lines = c.resolution;
    lines.push_back("[INFO] [IO] pid=500" + c.ioLine);
    lines.push_back("[INFO] [CPU] pid=500" + c.cpuLine);
    EXPECT_EQ(messages(), lines);
    EXPECT_EQ(proc(500).ioPriority, c.ioLine == kIoOk ? 1u : c.io);
    EXPECT_EQ(proc(500).priorityClass, c.cpuLine == kCpuOk ? kIdle : c.cls);
    EXPECT_EQ(ioRecord(500), c.ioRecord);
    EXPECT_EQ(cpuRecord(500), c.cpuRecord);
    for (const auto& o : machine.opens()) EXPECT_EQ(o.access, kTunerAccess);
}

INSTANTIATE_TEST_SUITE_P(Cases, LowerOneTest, ::testing::ValuesIn(kLowerCases),
                         [](const auto& info) { return std::string(info.param.what); });

// The routines are looked up, and their absence logged, once per library load.
TEST_F(InverseIoTest, MissingRoutinesAreLoggedOnceAndLookedUpAgainAfterAReload) {
    machine.hideRoutine(Routine::NtSetInformationProcess);
    machine.hideRoutine(Routine::NtQueryInformationProcess);
    machine.addProcess(500, 1, "a.exe");
    EXPECT_EQ(lower(500), 1);
    machine.hideRoutine(Routine::NtSetInformationProcess, false);
    EXPECT_EQ(lower(500), 0);
    EXPECT_EQ(messages(), (Lines{"[INFO] [IO] pid=500 SKIPPED (NtSetInformationProcess unavailable)",
                                 "[INFO] [CPU] pid=500 ALREADY IDLE (name=a)"}));
    common::resetAllModules();
    lower(500);
    EXPECT_EQ(proc(500).ioPriority, 1u);
}

TEST_F(InverseIoTest, PrivilegeSetUpOncePerExportWithWarningsForItsFailures) {
    iotuner::tuner().resetForTests();
    for (int i = 0; i < 2; ++i) {
        Zelkor_IOTuner_ApplyInverseIo(kGame, 0);
        Zelkor_IOTuner_ApplyInverseIoEx(kGame + 1 + i, 0, 0);
        Zelkor_IOTuner_LowerSinglePid(0, 0, 0, 0, 0);
        machine.advanceMs(500);
    }
    const auto m = messages();
    EXPECT_EQ(std::count(m.begin(), m.end(), kPrivilegesDone), 3);
    EXPECT_TRUE(machine.privilegeEnabled("SeDebugPrivilege"));
    // A step that fails is a warning.
    const std::string notEnabled = "[WARNING] [IOTuner] SeDebugPrivilege could not be enabled.";
    const std::string pid0 = "[INFO] [IO] pid=0 SKIPPED (system pid)";
    using Step = std::pair<sim::Op, const char*>;
    for (auto [op, line] : {Step{sim::Op::OpenProcessToken, "[WARNING] [IOTuner] OpenProcessToken FAILED."},
                            Step{sim::Op::LookupPrivilegeValue, "[WARNING] [IOTuner] LookupPrivilegeValue FAILED."},
                            Step{sim::Op::AdjustTokenPrivilege, "[WARNING] [IOTuner] AdjustTokenPrivileges FAILED."}}) {
        iotuner::tuner().resetForTests();
        machine.failOp(op, win::ERROR_ACCESS_DENIED, 1);
        lower(0);
        EXPECT_EQ(messages(), (Lines{line, notEnabled, kPrivilegesDone, pid0}));
    }
    // A token without the privilege still makes AdjustTokenPrivileges return nonzero.
    iotuner::tuner().resetForTests();
    machine.notAllAssigned("SeDebugPrivilege");
    lower(0);
    EXPECT_EQ(messages(), (Lines{kPrivilegesDone, pid0}));
}

class BulkPassTest : public InverseIoTest {
protected:
    void SetUp() override {
        InverseIoTest::SetUp();
        machine.addProcess(101, kGame, "GameHelper.exe");  // the game's child is lowered
        machine.addProcess(300, 1, "svchost.exe");
        machine.addProcess(301, 1, "Discord.exe");
        machine.addProcess(302, 1, "obs64.exe");
        machine.addProcess(303, 1, "RuntimeBroker.exe");
        machine.addProcess(304, 1, "chrome.exe");
        addProtected(305, kSelf, "worker.exe");  // the engine's child
        machine.addProcess(306, 1, "BEClient_x64.exe");
        addProtected(4, 0, "System");
        markProtected(kSelf);  // the engine itself
    }
    std::vector<std::uint32_t> lowered() {
        std::vector<std::uint32_t> out;
        for (std::uint32_t pid : {101u, 301u, 302u, 303u, 304u, 306u})
            if (proc(pid).priorityClass == win::IDLE_PRIORITY_CLASS) out.push_back(pid);
        return out;
    }
};

TEST_F(BulkPassTest, LowersEveryUnprotectedProcessSilentlyRefusingTheRest) {
    markProtected(kGame);
    EXPECT_EQ(Zelkor_IOTuner_ApplyInverseIoEx(kGame, 1, 1), 3);  // aggressive, streaming
    EXPECT_EQ(lowered(), (std::vector<std::uint32_t>{101, 303, 304}));
    EXPECT_EQ(messages().back(),
              "[INFO] [IOTuner] Inverse IO+CPU applied to 3 processes (game pid=100, streamingMode=true).");
    machine.advanceMs(500);
    EXPECT_EQ(Zelkor_IOTuner_ApplyInverseIo(kGame, 0), 2);  // neither: lowered processes do not count again
    EXPECT_EQ(lowered(), (std::vector<std::uint32_t>{101, 301, 302, 303, 304}));
    const auto m = messages();
    EXPECT_EQ(m.back(), "[INFO] [IOTuner] Inverse IO+CPU applied to 2 processes (game pid=100, streamingMode=false).");
    for (const auto& line : m) EXPECT_EQ(line.find("SKIPPED ("), line.find("SKIPPED (desired")) << line;
}

TEST_F(BulkPassTest, RateLimitPerGameOnTheSteadyClockThenAnEmptySnapshot) {
    ASSERT_EQ(Zelkor_IOTuner_ApplyInverseIo(kGame, 0), 4);
    machine.clearChanges();
    machine.advanceMs(499);
    EXPECT_EQ(Zelkor_IOTuner_ApplyInverseIoEx(kGame, 1, 0), -1);  // both forms share the table
    EXPECT_EQ(messages().back(), "[WARNING] [IOTuner] Rate limit for game pid=100");
    EXPECT_EQ(machine.changes(), std::vector<std::string>{"AdjustTokenPrivileges SeDebugPrivilege on"})
        << "only the Ex form's first privilege set-up";
    machine.advanceMs(1);  // 500 ms after the last pass let through, not after the refusal
    machine.failOp(sim::Op::ProcessFirst, win::ERROR_NO_MORE_FILES, 1);
    clearLog();
    EXPECT_EQ(Zelkor_IOTuner_ApplyInverseIo(kGame, 0), 0) << "let through to an empty snapshot: no summary";
    EXPECT_EQ(messages(), Lines{"[ERROR] [IOTuner] Process32FirstW failed."});
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

const std::string kCalled = "[INFO] [IOTuner] RESTORE called (CPU + IO priorities)";
const std::string kCpuStart = "[INFO] [IOTuner] Restoring original CPU priorities...";
const std::string kCpuDone = "[INFO] [IOTuner] CPU priority restore complete.";
const std::string kIoStart = "[INFO] [IOTuner] Restoring original IO priorities...";
const std::string kIoDone = "[INFO] [IOTuner] IO restore complete; snapshot map cleared.";

class RestoreTest : public InverseIoTest {
protected:
    iotuner::PriorityRecords& records() { return iotuner::tuner().records; }
    std::size_t recordCount() { return records().OriginalCpuPriority.size() + records().OriginalIoPriority.size(); }
    void restore() {
        clearLog();
        Zelkor_IOTuner_Restore();
    }
};

TEST_F(RestoreTest, ReturnsTheStateBeforeTheFirstLowering) {
    auto& p = machine.addProcess(500, 1, "app.exe");
    p.priorityClass = win::HIGH_PRIORITY_CLASS;
    p.ioPriority = 3;
    lower(500);
    p.priorityClass = win::NORMAL_PRIORITY_CLASS;
    p.ioPriority = 2;
    lower(500);
    restore();  // High I/O priority takes a privilege: the restore asks for it
    EXPECT_EQ(messages(), (Lines{kCalled, kCpuStart, "[INFO] [IOTuner] Restored CPU priority for pid=500 -> 128",
                                 kCpuDone, kIoStart, "[INFO] [IOTuner] Restored IO priority for pid=500 -> 3",
                                 kIoDone}));
    EXPECT_EQ(proc(500).priorityClass, win::HIGH_PRIORITY_CLASS);
    EXPECT_EQ(proc(500).ioPriority, 3u);
    EXPECT_EQ(recordCount(), 0u);
    for (const auto& o : machine.opens()) EXPECT_EQ(o.access, kTunerAccess);
}

// A process that is gone leaves without a line; a failure and a WOW64 process are logged;
// each pid leaves the records after its one try.
TEST_F(RestoreTest, FailuresWow64AndExitedProcessesAreTriedOnce) {
    machine.addProcess(500, 1, "a.exe");
    machine.addProcess(502, 1, "gone.exe");
    lower(500);
    lower(502);
    machine.removeProcess(502);
    machine.addProcess(501, 1, "b.exe").wow64 = true;
    records().OriginalIoPriority.record(501, 3);  // recorded before it was known as WOW64
    machine.failOp(sim::Op::SetPriorityClass, win::ERROR_ACCESS_DENIED);
    machine.failOp(sim::Op::NtSetInformationProcess, static_cast<std::uint32_t>(win::STATUS_ACCESS_DENIED));
    restore();
    EXPECT_TRUE(hasMessage("[WARNING] [IOTuner] Failed to restore CPU priority for pid=500, err=5"));
    EXPECT_TRUE(hasMessage("[WARNING] [IOTuner] Failed to restore IO priority for pid=500, status=-1073741790"));
    EXPECT_TRUE(hasMessage("[INFO] [IOTuner] Restore SKIPPED (WOW64 process, 64-bit tuner) pid=501"));
    EXPECT_EQ(messages().size(), 8u);
    EXPECT_EQ(recordCount(), 0u);
}

// Without the set routine the I/O records stay; a pid recorded during the pass stays for the next restore.
TEST_F(RestoreTest, IoRecordsWithoutTheSetRoutineAndPidsRecordedDuringThePassStay) {
    machine.hideRoutine(platform::Routine::NtSetInformationProcess);
    machine.addProcess(500, 1, "a.exe");
    lower(500);
    records().OriginalIoPriority.record(500, 3);
    // A lowering on another thread records 501 while the restore is changing 500.
    machine.setHook(sim::Op::SetPriorityClass, [&] { records().OriginalCpuPriority.record(501, 0x20); });
    restore();
    machine.setHook(sim::Op::SetPriorityClass, nullptr);
    EXPECT_EQ(messages(), (Lines{kCalled, kCpuStart, "[INFO] [IOTuner] Restored CPU priority for pid=500 -> 32",
                                 kCpuDone, kIoStart,
                                 "[WARNING] [IOTuner] NtSetInformationProcess unavailable; IO restore skipped."}));
    EXPECT_EQ(records().OriginalIoPriority.find(500), 3u);
    EXPECT_FALSE(records().OriginalCpuPriority.find(500));
    EXPECT_EQ(records().OriginalCpuPriority.find(501), 0x20u);
}

// The hard quarantine: its refusals before anything is changed, the measures it takes,
// and what the tuner records (below normal) for a later restore.
class QuarantineTest : public InverseIoTest {
protected:
    void SetUp() override {
        InverseIoTest::SetUp();
        reset_memory_stats();
        machine.addProcess(500, 1, "hog.exe");
    }
    // What was changed in processes and the system, privilege set-ups aside.
    Lines changes() {
        Lines out;
        for (auto& c : machine.changes())
            if (c.rfind("AdjustTokenPrivileges", 0) != 0) out.push_back(c);
        return out;
    }
    // A refused quarantine changes nothing and cleans no memory.
    void expectRefused(std::int32_t pid) {
        EXPECT_EQ(Zelkor_HardQuarantine_Offender(pid, kGame), 0) << pid;
        EXPECT_TRUE(changes().empty()) << pid;
        EXPECT_EQ(get_memory_stats().calls, 0u) << pid;
    }
};

// Below normal on the first processor, the tuner's lowering over it, one purge (load 95);
// a step that cannot be taken leaves the later ones.
TEST_F(QuarantineTest, ConfinesLowersAndCleansOnce) {
    const Lines all{"SetPriorityClass 500 0x4000", "SetProcessAffinityMask 500 0x1", "NtSetInformationProcess 500 33 1",
                    "SetPriorityClass 500 0x40", "NtSetSystemInformation 80 4"};
    struct Case {
        const char* what;
        std::function<void()> arrange;
        Lines changed;
    } cases[] = {
        {"plain", [] {}, all},
        {"critical flag unreadable",
         [&] { machine.failOp(sim::Op::NtQueryInformationProcess, win::STATUS_INVALID_INFO_CLASS, 1); }, all},
        {"protected: it opens for querying only", [&] { proc(500).protectionLevel = sim::kProtectedLevel; },
         {"NtSetSystemInformation 80 4"}},
    };
    for (const Case& c : cases) {
        machine.clearChanges();
        machine.addProcess(500, 1, "hog.exe");  // in place of the last case's
        reset_memory_stats();
        c.arrange();
        const std::uint64_t t0 = machine.nowNs();
        EXPECT_EQ(Zelkor_HardQuarantine_Offender(500, kGame), 1) << c.what;
        EXPECT_EQ(changes(), c.changed) << c.what;
        // The call blocks for the cleaning: two steady measurements (80 ms each) and 75 ms after the purge.
        EXPECT_EQ(machine.nowNs() - t0, 235'000'000u) << c.what;
    }
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
    expectRefused(kGame);
    EXPECT_TRUE(machine.opens().empty());  // refused before anything is opened
    for (std::int32_t pid : {600, 601, 602}) expectRefused(pid);
    // Only the tuner's own rules log their refusal.
    EXPECT_EQ(messages(), (Lines{"[INFO] [IO] pid=601 SKIPPED (system critical: svchost)",
                                 "[INFO] [IO] pid=602 SKIPPED (child of Zelkor)"}));
}

}  // namespace
