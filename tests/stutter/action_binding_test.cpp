// The by-name binding of the recovery actions and the launcher guard.

#include <thread>
#include <vector>

#include "stutter/launcher_guard.h"
#include "recovery_fixture.h"

namespace {

using zk::stutter::actionBinding;
using zk::stutter::isLauncher;
using zk::test::FakeActions;

TEST(LauncherGuard, ExactNamesAndContainedWords) {
    for (const char* name : {"Steam.exe", "STEAM.EXE", "steam", "SteamWebHelper.exe", "EADesktop.exe",
                             "EA Desktop.exe", "PlayGOG.exe", "RiotClientUx.exe", "XboxPcApp.exe",
                             "Battle.net.exe", "origin.exe", "upc.exe", "Bethesda.net_Launcher.exe",
                             "RockstarService.exe", "steam.exe.old"})
        EXPECT_TRUE(isLauncher(name)) << name;
}

TEST(LauncherGuard, OrdinaryNamesAreNoLaunchers) {
    for (const char* name : {"steam_helper.exe", "discord.exe", "", "chrome.exe", "originator.exe",
                             "upc2.exe", "exe", "steamy.exe", "idea.exe"})
        EXPECT_FALSE(isLauncher(name)) << name;
}

TEST(LauncherGuard, EaWithBlankCatchesIdeaMaker) {
    // The contained word "ea " matches inside "idea maker": such names are left alone too.
    EXPECT_TRUE(isLauncher("idea maker.exe"));
    EXPECT_TRUE(isLauncher("Idea Maker.EXE"));
}

class ActionBindingTest : public zk::test::RecoveryTest {};

TEST_F(ActionBindingTest, ThrottlePassesTheTrimmedNameAndFixedFlags) {
    FakeActions::install(machine);
    EXPECT_TRUE(actionBinding().throttleOffender(500, true, " \t chrome.exe\t ", 100));
    EXPECT_TRUE(actionBinding().throttleOffender(501, false, "", 100));
    EXPECT_TRUE(actionBinding().throttleOffender(502, false, " \t ", 100));
    ASSERT_EQ(FakeActions::throttles.size(), 3u);
    const auto& a = FakeActions::throttles[0];
    EXPECT_EQ(a.pid, 500u);
    EXPECT_EQ(a.enableDebugPrivilege, 1);
    EXPECT_EQ(a.trim, 1);
    EXPECT_EQ(a.image, u"chrome.exe");
    EXPECT_TRUE(a.lastErrorNull);
    for (int i : {1, 2}) {
        EXPECT_FALSE(FakeActions::throttles[i].imageNull);  // an empty text, never null
        EXPECT_EQ(FakeActions::throttles[i].image, u"");
        EXPECT_EQ(FakeActions::throttles[i].trim, 0);
    }
    EXPECT_TRUE(lines().empty());
}

TEST_F(ActionBindingTest, ThrottleConvertsTheNameFromUtf8) {
    FakeActions::install(machine);
    actionBinding().throttleOffender(500, false, "na\xC3\xAFve \xE2\x86\x92.exe", 100);
    ASSERT_EQ(FakeActions::throttles.size(), 1u);
    EXPECT_EQ(FakeActions::throttles[0].image, u"na\u00EFve \u2192.exe");
}

TEST_F(ActionBindingTest, ThrottleRefusesSystemGameAndNonPositivePidsWithoutBinding) {
    FakeActions::install(machine);
    FakeActions::throttleResult = 1;
    EXPECT_FALSE(actionBinding().throttleOffender(0, false, "x.exe", 100));
    EXPECT_FALSE(actionBinding().throttleOffender(4, false, "x.exe", 100));
    EXPECT_FALSE(actionBinding().throttleOffender(100, false, "x.exe", 100));
    EXPECT_FALSE(actionBinding().throttleOffender(0x80000000u, false, "x.exe", 100));
    EXPECT_TRUE(FakeActions::throttles.empty());
    FakeActions::throttleResult = 0;
    EXPECT_FALSE(actionBinding().throttleOffender(500, false, "x.exe", 100));
    EXPECT_EQ(FakeActions::throttles.size(), 1u);
}

TEST_F(ActionBindingTest, OtherWrappersPassTheirArgumentsAndResults) {
    FakeActions::install(machine);
    FakeActions::affinityResult = 0;
    EXPECT_EQ(actionBinding().inverseAffinityForOffender(600), 0);
    EXPECT_EQ(actionBinding().ramRelief(100, 93.5, 2), 512.5);
    EXPECT_EQ(actionBinding().inverseIoAroundGame(100), 7);
    EXPECT_EQ(FakeActions::affinities, std::vector<std::int32_t>{600});
    ASSERT_EQ(FakeActions::memories.size(), 1u);
    EXPECT_EQ(FakeActions::memories[0].pid, 100u);
    EXPECT_EQ(FakeActions::memories[0].ramPct, 93.5);
    EXPECT_EQ(FakeActions::memories[0].level, 2);
    ASSERT_EQ(FakeActions::ios.size(), 1u);
    EXPECT_EQ(FakeActions::ios[0].gamePid, 100u);
    EXPECT_EQ(FakeActions::ios[0].aggressive, 1);
}

TEST_F(ActionBindingTest, MissingModuleWarnsOnceThenEachActionSaysUnavailable) {
    FakeActions::install(machine);
    machine.setOwnModuleMissing(true);
    EXPECT_FALSE(actionBinding().throttleOffender(500, false, "x.exe", 100));
    EXPECT_EQ(actionBinding().inverseAffinityForOffender(500), 0);
    EXPECT_EQ(actionBinding().ramRelief(100, 95.0, 2), 0.0);
    EXPECT_EQ(actionBinding().inverseIoAroundGame(100), 0);
    EXPECT_FALSE(actionBinding().throttleOffender(500, false, "x.exe", 100));
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "[WARN] Zelkor.dll kon niet geladen worden – native acties beperkt.",
                           "[DEBUG] Zelkor_Throttle_OffenderW niet beschikbaar (Zelkor.dll).",
                           "[DEBUG] Affinity inverse niet beschikbaar (Zelkor.dll).",
                           "[DEBUG] extreme_memory_clean niet beschikbaar (Zelkor.dll).",
                           "[DEBUG] IOTuner inverse niet beschikbaar (Zelkor.dll).",
                           "[DEBUG] Zelkor_Throttle_OffenderW niet beschikbaar (Zelkor.dll).",
                       }));
    EXPECT_TRUE(FakeActions::order.empty());
}

TEST_F(ActionBindingTest, EachMissingExportIsNamedOnceAndOnlyItsActionIsLost) {
    FakeActions::install(machine);
    machine.hideOwnExport("Zelkor_Affinity_ApplyInverseForOffenderPid");
    machine.hideOwnExport("extreme_memory_clean");
    EXPECT_TRUE(actionBinding().throttleOffender(500, false, "x.exe", 100));
    EXPECT_EQ(actionBinding().inverseAffinityForOffender(500), 0);
    EXPECT_EQ(actionBinding().inverseIoAroundGame(100), 7);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "[WARN] Zelkor_Affinity_ApplyInverseForOffenderPid niet gevonden in Zelkor.dll",
                           "[WARN] extreme_memory_clean niet gevonden in Zelkor.dll",
                           "[DEBUG] Affinity inverse niet beschikbaar (Zelkor.dll).",
                       }));
}

TEST_F(ActionBindingTest, AllMissingExportsAreNamedInOrder) {
    EXPECT_EQ(actionBinding().inverseIoAroundGame(100), 0);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "[WARN] Zelkor_Throttle_OffenderW niet gevonden in Zelkor.dll",
                           "[WARN] Zelkor_Affinity_ApplyInverseForOffenderPid niet gevonden in Zelkor.dll",
                           "[WARN] Zelkor_IOTuner_ApplyInverseIo niet gevonden in Zelkor.dll",
                           "[WARN] extreme_memory_clean niet gevonden in Zelkor.dll",
                           "[DEBUG] IOTuner inverse niet beschikbaar (Zelkor.dll).",
                       }));
}

TEST_F(ActionBindingTest, BindingHappensOnceForConcurrentFirstCallers) {
    machine.setOwnModuleMissing(true);
    QTM_Stutter_SetMinLogLevel(2);  // warnings only
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([] { actionBinding().ensureBinding(); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(lines().size(), 1u);
}

TEST(SimUtf8, InvalidSequencesBecomeReplacementCharacters) {
    zk::sim::SimMachine m;
    EXPECT_EQ(m.utf8ToWide("abc"), u"abc");
    EXPECT_EQ(m.utf8ToWide("\xF0\x9F\x8E\xAE"), u"\U0001F3AE");  // a surrogate pair
    EXPECT_EQ(m.utf8ToWide("a\x80z"), u"a\uFFFDz");
    EXPECT_EQ(m.utf8ToWide("a\xE2\x86z"), u"a\uFFFDz");                // truncated
    EXPECT_EQ(m.utf8ToWide("\xC0\xAF"), u"\uFFFD");                    // overlong
    EXPECT_EQ(m.utf8ToWide("\xED\xA0\x80"), u"\uFFFD");                // surrogate
    EXPECT_EQ(m.utf8ToWide("x\xC3"), u"x\uFFFD");                      // cut at the end
}

}  // namespace
