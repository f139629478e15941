// The offender throttle and restore through their exports, over the simulated machine.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "iotuner/offender_throttle.h"
#include "iotuner/offender_throttle_log.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace {

using zk::sim::Op;
using zk::sim::SimProcess;

constexpr std::uint32_t kPid = 700;

std::mutex g_mutex;
std::vector<std::string> g_narrow;
std::vector<std::u16string> g_wide;

void ZK_CALL narrowLog(const char* text) {
    std::lock_guard lk(g_mutex);
    g_narrow.emplace_back(text);
}
void ZK_CALL wideLog(const zk_wchar* text) {
    std::lock_guard lk(g_mutex);
    g_wide.emplace_back(reinterpret_cast<const char16_t*>(text));
}

const zk_wchar* W(const char16_t* s) { return reinterpret_cast<const zk_wchar*>(s); }

class ThrottleTest : public zk::test::MachineTest {
protected:
    void SetUp() override {
        zk::iotuner::offenderThrottle().resetForTests();
        g_narrow.clear();
        g_wide.clear();
        target = &machine.addProcess(kPid, 4, "hog.exe");
        target->imagePath = u"C:\\Games\\Tools\\hog.exe";
        target->memory.workingSetSize = 1 << 30;
    }
    void TearDown() override {
        zk::iotuner::offenderThrottle().resetForTests();
        MachineTest::TearDown();
    }
    bool throttle(std::uint32_t pid = kPid, const char16_t* image = nullptr, bool trim = true, bool debug = false) {
        lastError = 0xDEAD;
        return ThrottleOffenderByPid(pid, debug, trim, W(image), &lastError, narrowLog) != 0;
    }
    bool restore(std::uint32_t pid = kPid, const char16_t* image = nullptr) {
        lastError = 0xDEAD;
        return RestoreOffenderByPid(pid, 0, W(image), &lastError, narrowLog) != 0;
    }
    std::vector<std::string> narrow() {
        auto out = g_narrow;
        g_narrow.clear();
        return out;
    }

    SimProcess* target = nullptr;
    std::uint32_t lastError = 0;
};

using Lines = std::vector<std::string>;

TEST_F(ThrottleTest, ThrottleThenRestore) {
    target->priorityClass = zk::win::ABOVE_NORMAL_PRIORITY_CLASS;
    EXPECT_TRUE(throttle());
    EXPECT_EQ(lastError, 0u);
    EXPECT_EQ(target->priorityClass, zk::win::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(target->ioPriority, 0u);
    EXPECT_EQ(target->memory.workingSetSize, 0u);
    EXPECT_EQ(machine.opens().back().access, 0x0700u);
    EXPECT_TRUE(narrow().empty());

    EXPECT_TRUE(restore());
    EXPECT_EQ(lastError, 0u);
    EXPECT_EQ(target->priorityClass, zk::win::NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(target->ioPriority, 2u);
    EXPECT_EQ(machine.opens().back().access, 0x0600u);
    EXPECT_EQ(machine.changes(), (Lines{"SetPriorityClass 700 0x40", "NtSetInformationProcess 700 33 0",
                                        "EmptyWorkingSet 700", "SetPriorityClass 700 0x20",
                                        "NtSetInformationProcess 700 33 2"}));

    // A process never throttled is restored just the same; no trim: the set is kept.
    machine.addProcess(701, 4, "other.exe").priorityClass = zk::win::HIGH_PRIORITY_CLASS;
    EXPECT_TRUE(restore(701));
    EXPECT_EQ(machine.process(701)->priorityClass, zk::win::NORMAL_PRIORITY_CLASS);
    target->memory.workingSetSize = 5;
    EXPECT_TRUE(throttle(kPid, nullptr, false));
    EXPECT_EQ(target->memory.workingSetSize, 5u);
}

TEST_F(ThrottleTest, ProtectedPidsAreRefusedBeforeOpening) {
    for (std::uint32_t pid : {0u, 4u, 1000u}) {
        EXPECT_FALSE(throttle(pid));
        EXPECT_EQ(lastError, 87u);
        EXPECT_FALSE(restore(pid));
        EXPECT_EQ(lastError, 87u);
        EXPECT_EQ(Zelkor_Throttle_OffenderW(pid, 1, 1, nullptr, nullptr), 0);
    }
    EXPECT_EQ(narrow(), Lines(6, "Invalid or protected PID"));
    EXPECT_TRUE(machine.opens().empty());
    EXPECT_TRUE(machine.changes().empty());
}

TEST_F(ThrottleTest, OpenFailureReportsItsErrorSilently) {
    EXPECT_FALSE(throttle(9999));
    EXPECT_EQ(lastError, 87u);  // the simulated OpenProcess's error for an unknown id
    target->deniedAccess = zk::win::PROCESS_SET_QUOTA;
    EXPECT_FALSE(throttle());
    EXPECT_EQ(lastError, 5u);
    EXPECT_TRUE(restore());  // restore does not ask for set-quota
    machine.failOp(Op::OpenProcess, 1234, 1);
    EXPECT_FALSE(restore());
    EXPECT_EQ(lastError, 1234u);
    EXPECT_TRUE(narrow().empty());
}

TEST_F(ThrottleTest, ImageCheckIsACaseSensitiveSubstringOfThePath) {
    for (const char16_t* image : {u"", u"hog.exe", u"Tools", u"C:", u"\\Games\\Tools\\hog.exe"}) {
        EXPECT_TRUE(throttle(kPid, image)) << std::string(image, image + std::char_traits<char16_t>::length(image));
    }
    EXPECT_EQ(machine.callCount(Op::QueryFullProcessImageName), 4u);  // not for the empty text
    machine.clearChanges();
    for (const char16_t* image : {u"HOG.EXE", u"tools", u"hog.exe ", u"D:"}) {
        EXPECT_FALSE(throttle(kPid, image));
        EXPECT_EQ(lastError, 5u);
        EXPECT_FALSE(restore(kPid, image));
        EXPECT_EQ(lastError, 5u);
    }
    EXPECT_EQ(narrow(), Lines(8, "ValidateProcessImage failed / mismatch"));
    EXPECT_TRUE(machine.changes().empty());

    machine.failOp(Op::QueryFullProcessImageName, 5, 1);
    EXPECT_FALSE(throttle(kPid, u"hog"));
    EXPECT_EQ(lastError, 5u);
    target->imagePath = u"C:\\" + std::u16string(32765, u'a');  // 32,768 characters
    EXPECT_FALSE(throttle(kPid, u"C:"));
    target->imagePath.pop_back();
    EXPECT_TRUE(throttle(kPid, u"C:"));
}

TEST_F(ThrottleTest, ExitedButOpenProcessIsNotActive) {
    machine.exitProcess(kPid, 0);
    EXPECT_FALSE(throttle());
    EXPECT_EQ(lastError, 0u);
    EXPECT_FALSE(restore());
    EXPECT_EQ(lastError, 0u);
    machine.addProcess(701, 4, "x.exe");
    machine.failOp(Op::GetExitCodeProcess, 5, 1);
    EXPECT_FALSE(throttle(701));
    EXPECT_EQ(narrow(), (Lines{"ThrottleOffenderByHandle: process not active",
                               "RestoreOffenderByHandle: process not active",
                               "ThrottleOffenderByHandle: process not active"}));
    EXPECT_TRUE(machine.changes().empty());
}

TEST_F(ThrottleTest, EachActionStandsAlone) {
    machine.failOp(Op::SetPriorityClass, 5, 1);
    EXPECT_TRUE(throttle());
    EXPECT_EQ(narrow(), Lines{"SetPriorityClass(IDLE_PRIORITY_CLASS) failed: 5"});

    machine.failOp(Op::NtSetInformationProcess, 0xC0000022u, 1);
    machine.failOp(Op::EmptyWorkingSet, 1453, 1);
    EXPECT_TRUE(throttle());
    EXPECT_EQ(narrow(), (Lines{"NtSetInformationProcess(IO VeryLow) failed: 0xC0000022", "EmptyWorkingSet failed: 1453"}));

    machine.failOp(Op::SetPriorityClass, 5);
    machine.failOp(Op::NtSetInformationProcess, 0xC0000022u);
    machine.failOp(Op::EmptyWorkingSet, 8, 1);
    EXPECT_FALSE(throttle());
    EXPECT_EQ(lastError, 0u);  // action failures never reach lastError
    EXPECT_EQ(narrow(), (Lines{"SetPriorityClass(IDLE_PRIORITY_CLASS) failed: 5",
                               "NtSetInformationProcess(IO VeryLow) failed: 0xC0000022", "EmptyWorkingSet failed: 8",
                               "ThrottleOffenderByHandle: ALL actions failed"}));
    EXPECT_FALSE(restore());
    EXPECT_EQ(lastError, 0u);
    EXPECT_EQ(narrow(), (Lines{"SetPriorityClass(NORMAL_PRIORITY_CLASS) failed: 5",
                               "NtSetInformationProcess(IO Normal) failed: 0xC0000022",
                               "RestoreOffenderByHandle: ALL actions failed"}));
    // The trim alone is enough for a throttle.
    machine.clearFaults();
    machine.failOp(Op::SetPriorityClass, 5);
    machine.failOp(Op::NtSetInformationProcess, 0xC0000022u);
    EXPECT_TRUE(throttle());
    EXPECT_FALSE(ThrottleOffenderByPid(kPid, 0, 0, nullptr, nullptr, nullptr));  // no log, no lastError: same result
}

TEST_F(ThrottleTest, WithoutTheNativeRoutineOnlyThePriorityClassCounts) {
    machine.hideRoutine(zk::platform::Routine::NtSetInformationProcess);
    EXPECT_TRUE(throttle(kPid, nullptr, false));
    machine.failOp(Op::SetPriorityClass, 5);
    EXPECT_FALSE(throttle(kPid, nullptr, false));
    EXPECT_EQ(narrow(), (Lines{"SetPriorityClass(IDLE_PRIORITY_CLASS) failed: 5",
                               "ThrottleOffenderByHandle: ALL actions failed"}));
    EXPECT_FALSE(restore());
    EXPECT_EQ(target->ioPriority, 2u);
    // Looked up once: the routine showing up later is not seen.
    machine.hideRoutine(zk::platform::Routine::NtSetInformationProcess, false);
    machine.clearFaults();
    EXPECT_TRUE(throttle(kPid, nullptr, false));
    EXPECT_EQ(target->ioPriority, 2u);
    EXPECT_EQ(machine.callCount(Op::NtSetInformationProcess), 0u);
}

TEST_F(ThrottleTest, DebugPrivilegeOnceAndNeverBlocking) {
    EXPECT_TRUE(throttle(kPid, nullptr, true, false));
    EXPECT_EQ(machine.callCount(Op::OpenProcessToken), 0u);

    // Concurrent first callers: one does the work, all see its result.
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([] { EXPECT_EQ(Zelkor_Throttle_Initialize(), 1); });
    for (auto& t : threads) t.join();
    EXPECT_TRUE(throttle(kPid, nullptr, true, true));
    EXPECT_EQ(machine.callCount(Op::AdjustTokenPrivilege), 1u);
    EXPECT_TRUE(machine.privilegeEnabled("SeDebugPrivilege"));

    zk::iotuner::offenderThrottle().resetForTests();
    machine.failOp(Op::OpenProcessToken, 5);
    EXPECT_TRUE(throttle(kPid, nullptr, true, true));
    EXPECT_FALSE(zk::iotuner::offenderThrottle().debugPrivilege());

    // A caller without the right to debug programs: adjusting "succeeds" with 1300.
    zk::iotuner::offenderThrottle().resetForTests();
    machine.clearFaults();
    machine.notAllAssigned("SeDebugPrivilege");
    EXPECT_EQ(Zelkor_Throttle_Initialize(), 1);
    EXPECT_FALSE(zk::iotuner::offenderThrottle().debugPrivilege());
    EXPECT_TRUE(throttle(kPid, nullptr, true, true));
    EXPECT_TRUE(narrow().empty());  // the privilege's outcome is never logged
}

TEST_F(ThrottleTest, WideChannelCarriesWholeLines) {
    Zelkor_Throttle_OffenderW(0, 0, 0, nullptr, nullptr);  // no callback yet: nothing
    Zelkor_Throttle_SetLogCallbackW(wideLog);
    std::uint32_t err = 0;
    EXPECT_EQ(Zelkor_Throttle_OffenderW(kPid, 1, 1, W(u"HOG"), &err), 0);
    EXPECT_EQ(err, 5u);
    EXPECT_EQ(Zelkor_Restore_OffenderW(kPid, 1, W(u"hog.exe"), &err), 1);
    EXPECT_EQ(g_wide, std::vector<std::u16string>{u"ValidateProcessImage failed / mismatch"});

    // Texts longer than the local buffer take the heap, whole.
    g_wide.clear();
    for (std::size_t n : {511u, 512u, 4000u}) {
        std::string text(n, 'q');
        text[0] = '\xE9';
        zk::iotuner::wideLogAdapter(text.c_str());
        ASSERT_EQ(g_wide.back().size(), n);
        EXPECT_EQ(g_wide.back()[0], u'\x00E9');
    }
    zk::iotuner::wideLogAdapter(nullptr);
    machine.failOp(Op::AnsiToWide, 1113, 1);
    zk::iotuner::wideLogAdapter("dropped");
    EXPECT_EQ(g_wide.size(), 3u);

    Zelkor_Throttle_SetLogCallbackW(nullptr);
    Zelkor_Throttle_OffenderW(0, 0, 0, nullptr, nullptr);
    EXPECT_EQ(g_wide.size(), 3u);
}

TEST_F(ThrottleTest, FormattedLinesAreCutTo127Bytes) {
    const std::string format = std::string(200, 'x') + " %lu";
    zk::iotuner::emitLinef(narrowLog, format.c_str(), 5ul);
    EXPECT_EQ(narrow(), Lines{std::string(127, 'x')});
}

TEST_F(ThrottleTest, ConcurrentCallersNeverInterleaveLines) {
    Zelkor_Throttle_SetLogCallbackW(wideLog);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([] {
            for (int k = 0; k < 50; ++k) {
                Zelkor_Throttle_OffenderW(4, 0, 0, nullptr, nullptr);
                Zelkor_Restore_OffenderW(kPid, 1, W(u"nope"), nullptr);
            }
        });
    for (auto& t : threads) t.join();
    ASSERT_EQ(g_wide.size(), 400u);
    for (const auto& l : g_wide)
        EXPECT_TRUE(l == u"Invalid or protected PID" || l == u"ValidateProcessImage failed / mismatch");
}

}  // namespace
