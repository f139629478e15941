// Soft demotion in the real DLL with real helper processes: an engine demotes a known
// background app at once and a busy process once its CPU share is measured, both to the
// idle class, and leaves a protected launcher and the game alone, however busy. The host's
// layout names no processor of this machine, so no light helper is exempt by it on any
// processor count; four processors demote by their own rule (busy on the reserved core).

#include <algorithm>
#include <atomic>

#include "support/watchdog.h"
#include "wine_support.h"

namespace {

TEST(SoftDemoteUnderWine, DemotesAKnownAppAndABusyProcessButNotTheLauncherOrTheGame) {
    ZKW_ONLY_UNDER_WINE("puts every competing process of the machine at idle priority");
    auto setCallback = ZK_LOAD(SetSoftDemoteLogCallback);
    auto start = ZK_LOAD(StartSoftDemoteV4WithLayout);
    auto stop = ZK_LOAD(StopSoftDemoteV4);
    ASSERT_TRUE(setCallback && start && stop);
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    const bool four = si.dwNumberOfProcessors == 4;
    auto game = zkw::startHelper(L"game.exe", L"spin");
    auto launcher = zkw::startHelper(L"steam.exe", L"spin");
    auto app = zkw::startHelper(L"YourPhone.exe", L"sleep");
    auto busy = zkw::startHelper(L"busy.exe", L"spin");
    ASSERT_TRUE(game && launcher && app && busy);
    zkw::clearLines();
    setCallback(zkw::keepLine);

    const int32_t noCoreHere[] = {-1};
    SoftDemoteHandle engine = start("low", game->pid, 0, noCoreHere, 1, 0);
    ASSERT_TRUE(engine);
    // The busy process's share is known from the second pass on, 2.5 to 4 s after the first.
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (GetTickCount64() < deadline &&
           ((!four && GetPriorityClass(app->process) != zkw::kIdle) || GetPriorityClass(busy->process) != zkw::kIdle))
        Sleep(100);
    stop(engine);
    setCallback(nullptr);

    EXPECT_EQ(GetPriorityClass(app->process), four ? zkw::kNormal : zkw::kIdle) << si.dwNumberOfProcessors;
    EXPECT_EQ(GetPriorityClass(busy->process), zkw::kIdle);
    EXPECT_EQ(GetPriorityClass(launcher->process), zkw::kNormal);
    EXPECT_EQ(GetPriorityClass(game->process), zkw::kNormal);
    const std::string prefix = "[ZelkorSoftDemote] ";
    EXPECT_EQ(zkw::keptLines(), (std::vector<std::string>{prefix + "Engine constructed (tier=low)",
                                                          prefix + "Engine gestart", prefix + "Engine gestopt"}))
        << "no line per process: demotions succeed, and I/O and memory priority are silent";
}

// A stop of one engine from another's line, whose thread holds the log lock that the
// stopped engine's worker needs for its last line: that worker stops and frees it.
decltype(&StopSoftDemoteV4) g_stop = nullptr;
std::atomic<SoftDemoteHandle> g_stopOnConstructed{nullptr};
void ZK_CALL stopTheOtherEngine(const char* line) {
    zkw::keepLine(line);
    if (std::string(line) == "[ZelkorSoftDemote] Engine constructed (tier=mid)")
        g_stop(g_stopOnConstructed.exchange(nullptr));
}

TEST(SoftDemoteUnderWine, AStopFromAnotherEnginesLineReturnsAndBothWorkersEnd) {
    ZKW_ONLY_UNDER_WINE("puts every competing process of the machine at idle priority");
    auto setCallback = ZK_LOAD(SetSoftDemoteLogCallback);
    auto start = ZK_LOAD(StartSoftDemoteV4);
    g_stop = ZK_LOAD(StopSoftDemoteV4);
    auto game = zkw::startHelper(L"game.exe", L"sleep");
    ASSERT_TRUE(setCallback && start && g_stop && game);
    zkw::clearLines();
    setCallback(stopTheOtherEngine);
    g_stopOnConstructed = start("low", game->pid, 0);
    zk::test::mustReturn("StartSoftDemoteV4 stopping another engine", [&] { g_stop(start("mid", game->pid, 0)); });
    const auto stopped = [] {
        const auto l = zkw::keptLines();
        return std::count(l.begin(), l.end(), "[ZelkorSoftDemote] Engine gestopt");
    };
    for (const ULONGLONG deadline = GetTickCount64() + 10000; GetTickCount64() < deadline && stopped() < 2;) Sleep(10);
    setCallback(nullptr);
    EXPECT_EQ(stopped(), 2);
}

}  // namespace
