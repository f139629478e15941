// The by-name binding of the recovery actions and the launcher guard.

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#include "recovery_fixture.h"
#include "stutter/launcher_guard.h"

namespace {

using zk::stutter::actionBinding;
using zk::stutter::isLauncher;
using zk::test::FakeActions;
using zk::test::Lines;

TEST(LauncherGuard, ExactNamesAndContainedWords) {
    // The contained word "ea " also matches inside "idea maker": such names are left alone too.
    for (const char* name : {"Steam.exe", "STEAM.EXE", "steam", "SteamWebHelper.exe", "EADesktop.exe",
                             "EA Desktop.exe", "PlayGOG.exe", "RiotClientUx.exe", "XboxPcApp.exe",
                             "Battle.net.exe", "origin.exe", "upc.exe", "Bethesda.net_Launcher.exe",
                             "RockstarService.exe", "steam.exe.old", "idea maker.exe", "Idea Maker.EXE"})
        EXPECT_TRUE(isLauncher(name)) << name;
    for (const char* name : {"steam_helper.exe", "discord.exe", "", "chrome.exe", "originator.exe",
                             "upc2.exe", "exe", "steamy.exe", "idea.exe"})
        EXPECT_FALSE(isLauncher(name)) << name;
}

class ActionBindingTest : public zk::test::RecoveryTest {
protected:
    void SetUp() override {
        RecoveryTest::SetUp();
        FakeActions::install(machine);
    }
};

TEST_F(ActionBindingTest, ThrottleRefusesSomePidsUnboundAndPassesTheTrimmedUtf16NameAndFixedFlags) {
    machine.hideOwnExport("extreme_memory_clean");  // a binding says so
    for (std::uint32_t pid : {0u, 4u, 100u, 0x80000000u})  // pid 0, the system, the game, not positive
        EXPECT_FALSE(actionBinding().throttleOffender(pid, false, "x.exe", 100)) << pid;
    EXPECT_TRUE(lines().empty());
    const struct { const char* name; bool trim; std::u16string image; } cases[] = {
        {" \t chrome.exe\t ", true, u"chrome.exe"},
        {"", false, u""},  // an empty text, never null
        {" \t ", false, u""},
        {"na\xC3\xAFve \xE2\x86\x92.exe", false, u"na\u00EFve \u2192.exe"},
    };
    for (const auto& c : cases) {
        FakeActions::throttles.clear();
        EXPECT_TRUE(actionBinding().throttleOffender(500, c.trim, c.name, 100));
        ASSERT_EQ(FakeActions::throttles.size(), 1u);
        const auto& t = FakeActions::throttles[0];
        // pid, debug privilege, trim, image null, image, last-error pointer null
        EXPECT_EQ(std::tie(t.pid, t.enableDebugPrivilege, t.trim, t.imageNull, t.image, t.lastErrorNull),
                  std::make_tuple(500u, 1, c.trim ? 1 : 0, false, c.image, true)) << c.name;
    }
    FakeActions::throttleResult = 0;
    EXPECT_FALSE(actionBinding().throttleOffender(500, false, "x.exe", 100));
    EXPECT_EQ(lines(), Lines{"[WARN] extreme_memory_clean niet gevonden in Zelkor.dll"});
}

TEST_F(ActionBindingTest, MissingModuleWarnsOnceThenEachActionSaysUnavailable) {
    machine.setOwnModuleMissing(true);
    EXPECT_FALSE(actionBinding().throttleOffender(500, false, "x.exe", 100));
    EXPECT_EQ(actionBinding().inverseAffinityForOffender(500), 0);
    EXPECT_EQ(actionBinding().ramRelief(100, 95.0, 2), 0.0);
    EXPECT_EQ(actionBinding().inverseIoAroundGame(100), 0);
    EXPECT_FALSE(actionBinding().throttleOffender(500, false, "x.exe", 100));
    Lines expected{"[WARN] Zelkor.dll kon niet geladen worden – native acties beperkt."};
    for (const char* action : {"Zelkor_Throttle_OffenderW", "Affinity inverse", "extreme_memory_clean",
                               "IOTuner inverse", "Zelkor_Throttle_OffenderW"})
        expected.push_back(std::string("[DEBUG] ") + action + " niet beschikbaar (Zelkor.dll).");
    EXPECT_EQ(lines(), expected);
    EXPECT_TRUE(FakeActions::order.empty());
}

// A second first caller arrives while the first one binds: it waits and binds nothing, so each
// missing export is named once, in order, and only its action is lost. The pause only gives the
// second caller time to pass the bound flag; the outcome never depends on it.
TEST_F(ActionBindingTest, ConcurrentFirstCallersBindOnceAndAMissingExportCostsOnlyItsAction) {
    for (const char* name :
         {"extreme_memory_clean", "Zelkor_IOTuner_ApplyInverseIo", "Zelkor_Affinity_ApplyInverseForOffenderPid"})
        machine.hideOwnExport(name);
    std::atomic<int> loads{0};
    std::atomic<bool> secondCalling{false};
    std::thread second;
    machine.setHook(zk::sim::Op::LoadOwnModule, [&] {
        if (loads.fetch_add(1) != 0) return;
        second = std::thread([&] {
            secondCalling = true;
            actionBinding().ensureBinding();
        });
        while (!secondCalling) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    actionBinding().ensureBinding();
    second.join();
    EXPECT_EQ(loads, 1);
    EXPECT_TRUE(actionBinding().throttleOffender(500, false, "x.exe", 100));
    EXPECT_EQ(actionBinding().inverseAffinityForOffender(500), 0);
    EXPECT_EQ(actionBinding().inverseIoAroundGame(100), 0);
    EXPECT_EQ(lines(), (Lines{
                           "[WARN] Zelkor_Affinity_ApplyInverseForOffenderPid niet gevonden in Zelkor.dll",
                           "[WARN] Zelkor_IOTuner_ApplyInverseIo niet gevonden in Zelkor.dll",
                           "[WARN] extreme_memory_clean niet gevonden in Zelkor.dll",
                           "[DEBUG] Affinity inverse niet beschikbaar (Zelkor.dll).",
                           "[DEBUG] IOTuner inverse niet beschikbaar (Zelkor.dll).",
                       }));
    EXPECT_EQ(FakeActions::order, Lines{"throttle"});
}

}  // namespace
