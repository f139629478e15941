// The offender profiler and the offender throttle in the real DLL, against real helper
// processes.

#include "wine_support.h"

namespace {

// The profiler measures CPU shares between two walks 10 s apart (its rate limit), so this
// takes 10 to 30 s. The caller idles meanwhile: under Wine, GetProcessTimes on another
// process once answered with the caller's own times, and a busy process then looked idle.
TEST(ProfilerUnderWine, NamesASpinningBackgroundProcess) {
    auto reset = ZK_LOAD(PF_Reset);
    auto rootCause = ZK_LOAD(PF_GetRootCause);
    ASSERT_TRUE(reset && rootCause);
    auto hog = zkw::startOrphanHelper(L"hog.exe", L"spin");
    ASSERT_TRUE(hog);

    reset();
    const DWORD self = GetCurrentProcessId();
    PfRootCause rc{};
    int32_t r = rootCause(self, 0.95, 5.0, &rc);  // first sight: only working sets count
    for (int walk = 0; walk < 3 && !(r == 1 && rc.pid == hog->pid); ++walk) {
        Sleep(10100);
        r = rootCause(self, 0.95, 5.0, &rc);
    }
    ASSERT_EQ(r, 1);
    EXPECT_EQ(rc.pid, hog->pid);
    EXPECT_STREQ(rc.name, "hog.exe");
    EXPECT_EQ(rc.category, 1);
    const double cpu = rc.cpuPct;  // packed: not 8-byte aligned, so copied
    EXPECT_GE(cpu, 25.0);
    EXPECT_LE(cpu, 100.0);
}

TEST(ThrottleUnderWine, ThrottlesAndRestoresARealProcess) {
    auto init = ZK_LOAD(Zelkor_Throttle_Initialize);
    auto throttle = ZK_LOAD(Zelkor_Throttle_OffenderW);
    auto restore = ZK_LOAD(Zelkor_Restore_OffenderW);
    ASSERT_TRUE(init && throttle && restore);
    auto victim = zkw::startHelper(L"victim.exe", L"sleep");
    ASSERT_TRUE(victim);
    EXPECT_EQ(init(), 1);

    // The image check reads the real process's path.
    uint32_t err = 99;
    EXPECT_EQ(throttle(victim->pid, 1, 1, L"victim.exe", &err), 1);
    EXPECT_EQ(GetPriorityClass(victim->process), zkw::kIdle);
    EXPECT_EQ(restore(victim->pid, 1, L"victim.exe", &err), 1);
    EXPECT_EQ(GetPriorityClass(victim->process), zkw::kNormal);
}

}  // namespace
