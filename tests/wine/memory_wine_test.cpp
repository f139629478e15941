// Memory relief in the real DLL. Wine accepts the standby purge (status 0) without doing
// anything, so the amounts freed are whatever the machine did meanwhile.

#include "wine_support.h"

namespace {

TEST(MemoryUnderWine, RealPurgesAnswerAndAreRecordedAsDone) {
    ZKW_ONLY_UNDER_WINE("purges the standby list of the whole machine");
    auto clean = ZK_LOAD(extreme_memory_clean);
    auto trim = ZK_LOAD(trim_process_working_set);
    auto stats = ZK_LOAD(get_memory_stats);
    auto reset = ZK_LOAD(reset_memory_stats);
    auto selfTest = ZK_LOAD(self_test);
    ASSERT_TRUE(clean && trim && stats && reset && selfTest);
    auto svchost = zkw::startHelper(L"svchost.exe", L"sleep");
    auto game = zkw::startHelper(L"game.exe", L"sleep");
    ASSERT_TRUE(svchost && game);

    reset();
    EXPECT_EQ(selfTest(), 1) << "the privilege, a measurement and a purge";
    EXPECT_GE(clean(GetCurrentProcessId(), 80.0, nullptr), 0.0);
    EXPECT_EQ(trim(svchost->pid), -1.0) << "excluded by the name the system gives it";
    EXPECT_GE(trim(game->pid), 0.0);
    const MemoryStats s = stats();
    EXPECT_EQ(s.calls, 3u);
    EXPECT_EQ(s.codeCounts[0], 2);
    EXPECT_EQ(s.codeCounts[2], 1);
    reset();
}

}  // namespace
