// The whole stutter chain in the real DLL: sampled metrics, the profiler's two walks,
// the hard recovery, and a real hog left at the idle priority class.

#include "wine_support.h"

namespace {

TEST(StutterChainUnderWine, RootCauseNamesARealHogAndTheHardRecoveryIdlesIt) {
    ZKW_ONLY_UNDER_WINE("recovers whichever background process the profiler blames, not only its own hog");
    auto getConfig = ZK_LOAD(QTM_GetConfig);
    auto setConfig = ZK_LOAD(QTM_SetConfig);
    auto start = ZK_LOAD(QTM_Start);
    auto stop = ZK_LOAD(QTM_Stop);
    auto setRecovery = ZK_LOAD(QTM_SetRecoveryConfig);
    auto pfReset = ZK_LOAD(PF_Reset);
    auto rootCause = ZK_LOAD(QTM_GetStutterRootCause);
    ASSERT_TRUE(getConfig && setConfig && start && stop && setRecovery && pfReset && rootCause);
    auto game = zkw::startHelper(L"game.exe", L"sleep");
    auto hog = zkw::startOrphanHelper(L"hog.exe", L"hog");
    ASSERT_TRUE(game && hog);
    ASSERT_EQ(GetPriorityClass(hog->process), zkw::kNormal);

    QtmConfig original{};
    getConfig(&original);
    QtmConfig cfg = original;
    cfg.sampleIntervalUs = 3000;  // 3 ms pauses: the p99 crosses 2 ms
    setConfig(&cfg);
    // Every real stutter is a hard one, whatever the machine's load makes of the p99.
    const QtmRecoveryConfig recovery{0, 0, 0, 15, 0.0, 0.0};
    setRecovery(&recovery);
    pfReset();
    ASSERT_EQ(start(), 1);

    // The first walk only records; the next one, 10 s later, measures the CPU shares.
    PfRootCause out{};
    uint32_t rec = 0;
    for (const ULONGLONG deadline = GetTickCount64() + 45000; GetTickCount64() < deadline;) {
        Sleep(250);
        PfRootCause found{};
        uint32_t mode = 9;
        // The recovery engine's own gate for a real stutter: a risk of 0.4 or a p99 of 2 ms.
        const int32_t r = rootCause(game->pid, 0.40, 2.0, 50.0, 0.0, 0.0, 0.0, 1.0, &found, &mode);
        if (r == 1 && found.pid == hog->pid && mode != 0) {
            out = found;
            rec = mode;
            break;
        }
    }
    stop();
    setConfig(&original);

    ASSERT_EQ(out.pid, hog->pid) << "the hog was not named and recovered within 45 s";
    EXPECT_STREQ(out.name, "hog.exe");
    EXPECT_EQ(out.category, 1);
    EXPECT_EQ(rec, 2u) << "a hard minimum score of 0 makes every real stutter a hard one";
    EXPECT_EQ(GetPriorityClass(hog->process), zkw::kIdle);
    EXPECT_EQ(GetPriorityClass(game->process), zkw::kNormal) << "the game is never touched";
}

}  // namespace
