// Memory relief in the real DLL. Wine accepts the standby purge (status 0) without doing
// anything, so the amounts freed are whatever the machine did meanwhile.

#include "wine_support.h"

namespace {

TEST(MemoryUnderWine, RealPurgesAnswer) {
    ZKW_ONLY_UNDER_WINE("purges the standby list of the whole machine");
    auto clean = ZK_LOAD(extreme_memory_clean);
    auto trim = ZK_LOAD(trim_process_working_set);
    auto selfTest = ZK_LOAD(self_test);
    ASSERT_TRUE(clean && trim && selfTest);
    auto svchost = zkw::startHelper(L"svchost.exe", L"sleep");
    auto game = zkw::startHelper(L"game.exe", L"sleep");
    ASSERT_TRUE(svchost && game);

    EXPECT_EQ(selfTest(), 1) << "the privilege, a measurement and a purge";
    EXPECT_GE(clean(GetCurrentProcessId(), 80.0, nullptr), 0.0);
    EXPECT_EQ(trim(svchost->pid), -1.0) << "excluded by the name the system gives it";
    EXPECT_GE(trim(game->pid), 0.0);
}

}  // namespace
