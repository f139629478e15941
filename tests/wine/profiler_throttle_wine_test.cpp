// The offender profiler and the offender throttle in the real DLL, against real helper
// processes.

#include <cstring>
#include <string>
#include <vector>

#include "wine_support.h"
#include "zelkor.h"

namespace {

using RootCauseFn = int32_t(ZK_CALL*)(uint32_t, double, double, PfRootCause*);
using VoidFn = void(ZK_CALL*)();
using ThrottleWFn = int32_t(ZK_CALL*)(uint32_t, int32_t, int32_t, const zk_wchar*, uint32_t*);
using RestoreWFn = int32_t(ZK_CALL*)(uint32_t, int32_t, const zk_wchar*, uint32_t*);
using SetLogWFn = void(ZK_CALL*)(ThrottleLogCallbackW);
using ThrottleFn = uint8_t(ZK_CALL*)(uint32_t, uint8_t, uint8_t, const zk_wchar*, uint32_t*, ThrottleLogFn);

// PfRootCause's doubles are not 8-byte aligned: compare copies, not references.
double v(double packed) { return packed; }
std::vector<std::wstring> g_wide;
void ZK_CALL wideLog(const zk_wchar* text) { g_wide.emplace_back(text); }
std::vector<std::string> g_narrow;
void ZK_CALL narrowLog(const char* text) { g_narrow.emplace_back(text); }

// Walks until the profiler names someone, each walk 10 s of real time after the one
// before (its rate limit); at most `walks` measured walks after the first.
int32_t walkUntilFound(uint32_t gamePid, PfRootCause& rc, int walks) {
    auto rootCause = zkw::fn<RootCauseFn>("PF_GetRootCause");
    zkw::fn<VoidFn>("PF_Reset")();
    ULONGLONG last = GetTickCount64();
    int32_t r = rootCause(gamePid, 0.95, 5.0, &rc);  // first sight: only working sets count
    for (int i = 0; i < walks && r != 1; ++i) {
        while (GetTickCount64() - last < 10100) Sleep(100);  // the caller idles meanwhile
        last = GetTickCount64();
        r = rootCause(gamePid, 0.95, 5.0, &rc);
    }
    return r;
}

TEST(ProfilerUnderWine, NamesASpinningOrphanHog) {
    auto hog = zkw::startOrphanHelper(L"hog.exe", L"spin");
    ASSERT_TRUE(hog);
    PfRootCause rc{};
    ASSERT_EQ(walkUntilFound(GetCurrentProcessId(), rc, 3), 1);
    EXPECT_EQ(rc.pid, hog->pid);
    EXPECT_STREQ(rc.name, "hog.exe");
    EXPECT_EQ(rc.category, 1);
    EXPECT_GE(v(rc.cpuPct), 25.0);
    EXPECT_LE(v(rc.cpuPct), 100.0);
    EXPECT_GE(v(rc.score), 10.0);
}

// Under Wine, GetProcessTimes on another process answers with the caller's own times;
// a child that burns a core while this process sleeps would then look idle.
TEST(ProfilerUnderWine, BusyChildsTimesGrowWhileTheCallerIdles) {
    auto busy = zkw::startHelper(L"busy.exe", L"spin");
    ASSERT_TRUE(busy);
    PfRootCause rc{};
    const uint32_t noGame = 0xFFFFFFF0u;  // no such process: children are not excluded
    ASSERT_EQ(walkUntilFound(noGame, rc, 3), 1);
    EXPECT_EQ(rc.pid, busy->pid);
    EXPECT_STREQ(rc.name, "busy.exe");
    EXPECT_GE(v(rc.cpuPct), 25.0);
}

TEST(ThrottleUnderWine, ThrottleAndRestoreARealProcess) {
    auto throttleW = zkw::fn<ThrottleWFn>("Zelkor_Throttle_OffenderW");
    auto restoreW = zkw::fn<RestoreWFn>("Zelkor_Restore_OffenderW");
    auto setLog = zkw::fn<SetLogWFn>("Zelkor_Throttle_SetLogCallbackW");
    auto init = zkw::fn<int32_t(ZK_CALL*)()>("Zelkor_Throttle_Initialize");
    ASSERT_TRUE(throttleW && restoreW && setLog && init);
    auto victim = zkw::startHelper(L"victim.exe", L"sleep");
    ASSERT_TRUE(victim);
    EXPECT_EQ(init(), 1);
    setLog(wideLog);
    g_wide.clear();

    uint32_t err = 99;
    EXPECT_EQ(throttleW(victim->pid, 1, 1, L"VICTIM.EXE", &err), 0);  // case counts
    EXPECT_EQ(err, 5u);
    EXPECT_EQ(throttleW(victim->pid, 1, 1, L"victim.exe", &err), 1);
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(GetPriorityClass(victim->process), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
    EXPECT_EQ(restoreW(victim->pid, 1, L"victim.exe", &err), 1);
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(GetPriorityClass(victim->process), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    setLog(nullptr);

    std::vector<std::wstring> expected{L"ValidateProcessImage failed / mismatch"};
    if (zkw::isWine()) {
        // Wine does not implement the I/O priority class: the step fails on its own and
        // the priority class carries the result.
        expected.push_back(L"NtSetInformationProcess(IO VeryLow) failed: 0xC0000002");
        expected.push_back(L"NtSetInformationProcess(IO Normal) failed: 0xC0000002");
    }
    EXPECT_EQ(g_wide, expected);
}

TEST(ThrottleUnderWine, RefusalsAndAnExitedProcess) {
    auto throttle = zkw::fn<ThrottleFn>("ThrottleOffenderByPid");
    ASSERT_TRUE(throttle);
    g_narrow.clear();
    uint32_t err = 0;
    for (uint32_t pid : {0u, 4u, static_cast<uint32_t>(GetCurrentProcessId())}) {
        EXPECT_EQ(throttle(pid, 1, 0, nullptr, &err, narrowLog), 0);
        EXPECT_EQ(err, 87u);
    }
    auto gone = zkw::startHelper(L"gone.exe", L"sleep");
    ASSERT_TRUE(gone);
    ASSERT_TRUE(TerminateProcess(gone->process, 3));
    ASSERT_EQ(WaitForSingleObject(gone->process, 10000), WAIT_OBJECT_0);
    // Our handle keeps the process object, so it can still be opened.
    EXPECT_EQ(throttle(gone->pid, 0, 0, nullptr, &err, narrowLog), 0);
    EXPECT_EQ(err, 0u);
    std::vector<std::string> expected(3, "Invalid or protected PID");
    expected.push_back("ThrottleOffenderByHandle: process not active");
    EXPECT_EQ(g_narrow, expected);
}

}  // namespace
