// The offender throttle and restore through their exports, over the simulated machine.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/reset_registry.h"
#include "iotuner/throttle/offender_throttle.h"
#include "iotuner/throttle/offender_throttle_log.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace {

using zk::sim::Op;
using zk::sim::SimProcess;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kPid = 700;

Lines g_narrow;
std::vector<std::u16string> g_wide;

void ZK_CALL narrowLog(const char* text) { g_narrow.emplace_back(text); }
void ZK_CALL wideLog(const zk_wchar* text) { g_wide.emplace_back(reinterpret_cast<const char16_t*>(text)); }

const zk_wchar* W(const char16_t* s) { return reinterpret_cast<const zk_wchar*>(s); }

class ThrottleTest : public zk::test::MachineTest {
protected:
    void SetUp() override {
        g_narrow.clear();
        g_wide.clear();
        target = &machine.addProcess(kPid, 4, "hog.exe");
        target->imagePath = u"C:\\Games\\Tools\\hog.exe";
        target->memory.workingSetSize = 1 << 30;
    }
    bool throttle(std::uint32_t pid = kPid, const char16_t* image = nullptr, bool trim = true, bool debug = false) {
        lastError = 0xDEAD;
        return ThrottleOffenderByPid(pid, debug, trim, W(image), &lastError, narrowLog) != 0;
    }
    bool restore(std::uint32_t pid = kPid, const char16_t* image = nullptr) {
        lastError = 0xDEAD;
        return RestoreOffenderByPid(pid, 0, W(image), &lastError, narrowLog) != 0;
    }
    Lines narrow() { return std::exchange(g_narrow, {}); }

    SimProcess* target = nullptr;
    std::uint32_t lastError = 0;
};

TEST_F(ThrottleTest, ThrottleThenRestoreWithTheRightsEachNeedsAndImageSubstringsThatMatch) {
    target->priorityClass = zk::win::ABOVE_NORMAL_PRIORITY_CLASS;
    EXPECT_TRUE(throttle());
    EXPECT_EQ(lastError, 0u);
    EXPECT_EQ(machine.opens().back().access, 0x0700u);
    EXPECT_TRUE(restore());
    EXPECT_EQ(lastError, 0u);
    EXPECT_EQ(machine.opens().back().access, 0x0600u);
    EXPECT_TRUE(narrow().empty());
    EXPECT_EQ(machine.changes(), (Lines{"SetPriorityClass 700 0x40", "NtSetInformationProcess 700 33 0",
                                        "EmptyWorkingSet 700", "SetPriorityClass 700 0x20",
                                        "NtSetInformationProcess 700 33 2"}));
    for (const char16_t* image : {u"", u"hog.exe", u"Tools", u"C:", u"\\Games\\Tools\\hog.exe"})
        EXPECT_TRUE(throttle(kPid, image)) << std::string(image, image + std::char_traits<char16_t>::length(image));
    target->imagePath = u"C:\\" + std::u16string(32764, u'a');  // 32,767 characters
    EXPECT_TRUE(throttle(kPid, u"C:"));
    machine.failOp(Op::QueryFullProcessImageName, 5);
    EXPECT_TRUE(throttle(kPid, u""));  // an empty text reads no path
    target->deniedAccess = zk::win::PROCESS_SET_QUOTA;
    EXPECT_FALSE(throttle());
    EXPECT_EQ(lastError, 5u);
    EXPECT_TRUE(restore());  // the restore does not ask for set-quota
    machine.exitProcess(kPid, 0);
    EXPECT_FALSE(restore());
    EXPECT_EQ(narrow(), Lines{"RestoreOffenderByHandle: process not active"});
}

// Every refusal (the restore shares them): false, the error left for the caller, at most
// one line, and nothing changed.
struct Refusal {
    const char* what;
    std::uint32_t pid;
    const char16_t* image;
    std::function<void(zk::sim::SimMachine&, SimProcess&)> setUp;
    std::uint32_t error;
    std::string line;  // after "Throttle" when it begins with "OffenderByHandle"
};
void PrintTo(const Refusal& r, std::ostream* os) { *os << r.what; }

const std::string kMismatch = "ValidateProcessImage failed / mismatch", kInvalid = "Invalid or protected PID";
const std::string kNotActive = "OffenderByHandle: process not active";
const Refusal kRefusals[] = {
    {"Pid0", 0, nullptr, {}, 87, kInvalid},
    {"Pid4", 4, nullptr, {}, 87, kInvalid},
    {"OpenFailing", kPid, nullptr, [](auto& m, auto&) { m.failOp(Op::OpenProcess, 1234); }, 1234, ""},
    {"Protected", kPid, nullptr, [](auto&, auto& p) { p.protectionLevel = zk::sim::kProtectedLevel; }, 5, ""},
    {"ImageInOtherCase", kPid, u"HOG.EXE", {}, 5, kMismatch},
    {"OtherDrive", kPid, u"D:", {}, 5, kMismatch},
    {"PathUnreadable", kPid, u"hog", [](auto& m, auto&) { m.failOp(Op::QueryFullProcessImageName, 5); }, 5, kMismatch},
    {"Path32768Chars", kPid, u"C:", [](auto&, auto& p) { p.imagePath = u"C:\\" + std::u16string(32765, u'a'); }, 5,
     kMismatch},
    {"Exited", kPid, nullptr, [](auto& m, auto&) { m.exitProcess(kPid, 0); }, 0, kNotActive},  // yet openable
    {"ExitCodeUnreadable", kPid, nullptr, [](auto& m, auto&) { m.failOp(Op::GetExitCodeProcess, 5); }, 0, kNotActive},
};

class ThrottleRefusalTest : public ThrottleTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(ThrottleRefusalTest, FalseWithTheErrorAndNothingChanged) {
    const Refusal& r = GetParam();
    if (r.setUp) r.setUp(machine, *target);
    EXPECT_FALSE(throttle(r.pid, r.image));
    EXPECT_EQ(lastError, r.error);
    EXPECT_EQ(narrow(), r.line.empty() ? Lines{} : Lines{r.line == kNotActive ? "Throttle" + r.line : r.line});
    EXPECT_TRUE(machine.changes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ThrottleRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(ThrottleTest, EachActionStandsAloneAndOneThatTakesIsEnough) {
    const std::string prio = "SetPriorityClass(IDLE_PRIORITY_CLASS) failed: 5";
    const std::string io = "NtSetInformationProcess(IO VeryLow) failed: 0xC0000022";
    machine.failOp(Op::NtSetInformationProcess, 0xC0000022u, 1);
    machine.failOp(Op::EmptyWorkingSet, 5, 1);
    EXPECT_TRUE(throttle());
    EXPECT_EQ(narrow(), (Lines{io, "EmptyWorkingSet failed: 5"}));
    machine.failOp(Op::SetPriorityClass, 5);
    machine.failOp(Op::NtSetInformationProcess, 0xC0000022u);
    EXPECT_TRUE(throttle());  // the trim alone
    EXPECT_EQ(narrow(), (Lines{prio, io}));
    EXPECT_FALSE(throttle(kPid, nullptr, false));
    EXPECT_EQ(lastError, 0u);  // action failures never reach lastError
    EXPECT_EQ(narrow(), (Lines{prio, io, "ThrottleOffenderByHandle: ALL actions failed"}));
    EXPECT_FALSE(restore());
    EXPECT_EQ(narrow(), (Lines{"SetPriorityClass(NORMAL_PRIORITY_CLASS) failed: 5",
                               "NtSetInformationProcess(IO Normal) failed: 0xC0000022",
                               "RestoreOffenderByHandle: ALL actions failed"}));
    EXPECT_FALSE(ThrottleOffenderByPid(kPid, 0, 0, nullptr, nullptr, nullptr));  // no log, no lastError: same result
}

TEST_F(ThrottleTest, WithoutTheNativeRoutineOnlyThePriorityClassCountsForGood) {
    machine.hideRoutine(zk::platform::Routine::NtSetInformationProcess);
    machine.failOp(Op::SetPriorityClass, 5, 1);
    EXPECT_FALSE(throttle(kPid, nullptr, false));
    EXPECT_EQ(narrow(), (Lines{"SetPriorityClass(IDLE_PRIORITY_CLASS) failed: 5",
                               "ThrottleOffenderByHandle: ALL actions failed"}));
    // Looked up once: the routine showing up later is not seen.
    machine.hideRoutine(zk::platform::Routine::NtSetInformationProcess, false);
    EXPECT_TRUE(throttle(kPid, nullptr, false));
    EXPECT_EQ(target->ioPriority, 2u);
    zk::common::resetAllModules();  // the next load looks again
    EXPECT_TRUE(throttle(kPid, nullptr, false));
    EXPECT_EQ(target->ioPriority, 0u);
}

TEST_F(ThrottleTest, DebugPrivilegeOnceAndNeverBlocking) {
    EXPECT_TRUE(throttle(kPid, nullptr, true, false));
    EXPECT_FALSE(machine.privilegeEnabled("SeDebugPrivilege"));
    // Concurrent first callers: one does the work, all see its result.
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([] { EXPECT_EQ(Zelkor_Throttle_Initialize(), 1); });
    for (auto& t : threads) t.join();
    EXPECT_TRUE(machine.privilegeEnabled("SeDebugPrivilege")) << "enabled by the initialisation itself";
    EXPECT_TRUE(throttle(kPid, nullptr, true, true));
    const auto changes = machine.changes();
    EXPECT_EQ(std::count(changes.begin(), changes.end(), "AdjustTokenPrivileges SeDebugPrivilege on"), 1);

    // A caller without the right to debug programs: adjusting "succeeds" with 1300.
    zk::iotuner::offenderThrottle().resetForTests();
    machine.notAllAssigned("SeDebugPrivilege");
    EXPECT_EQ(Zelkor_Throttle_Initialize(), 1);
    EXPECT_FALSE(zk::iotuner::offenderThrottle().debugPrivilege());
    EXPECT_TRUE(throttle(kPid, nullptr, true, true));
    EXPECT_TRUE(narrow().empty());  // the privilege's outcome is never logged
}

TEST_F(ThrottleTest, WideChannelCarriesWholeLines) {
    Zelkor_Throttle_SetLogCallbackW(wideLog);
    std::uint32_t err = 0;
    EXPECT_EQ(Zelkor_Throttle_OffenderW(kPid, 1, 1, W(u"HOG"), &err), 0);
    EXPECT_EQ(err, 5u);
    EXPECT_EQ(Zelkor_Restore_OffenderW(kPid, 1, W(u"hog.exe"), &err), 1);
    EXPECT_EQ(g_wide, std::vector<std::u16string>{u"ValidateProcessImage failed / mismatch"});
    // Texts longer than the local buffer take the heap, whole.
    g_wide.clear();
    std::string text(4000, 'q');
    text[0] = '\xE9';
    zk::iotuner::wideLogAdapter(text.c_str());
    zk::iotuner::wideLogAdapter(nullptr);
    Zelkor_Throttle_SetLogCallbackW(nullptr);
    Zelkor_Throttle_OffenderW(0, 0, 0, nullptr, nullptr);
    ASSERT_EQ(g_wide.size(), 1u);
    EXPECT_EQ(g_wide[0], u'\x00E9' + std::u16string(3999, u'q'));
    Zelkor_Throttle_SetLogCallbackW(wideLog);
    zk::common::resetAllModules();  // a new load starts without a callback
    Zelkor_Throttle_OffenderW(kPid, 1, 1, W(u"HOG"), &err);
    EXPECT_EQ(g_wide.size(), 1u);
}

std::atomic<int> g_inside{0}, g_overlaps{0}, g_lines{0};
void ZK_CALL slowWideLog(const zk_wchar*) {
    g_overlaps += g_inside.fetch_add(1) != 0;
    for (int i = 0; i < 20; ++i) std::this_thread::yield();  // a host callback that takes its time
    g_inside.fetch_sub(1);
    g_lines.fetch_add(1);
}

// The wide callback is entered by one thread at a time: a host's line is never cut into
// by another thread's.
TEST_F(ThrottleTest, LinesFromTwoThreadsNeverInterleave) {
    g_overlaps = 0, g_lines = 0;
    Zelkor_Throttle_SetLogCallbackW(slowWideLog);
    auto logMany = [] {
        for (int i = 0; i < 300; ++i) zk::iotuner::wideLogAdapter("a throttle line");
    };
    std::thread other(logMany);
    logMany();
    other.join();
    Zelkor_Throttle_SetLogCallbackW(nullptr);
    EXPECT_EQ(g_lines.load(), 600);
    EXPECT_EQ(g_overlaps.load(), 0);
}

}  // namespace
