// Name normalisation, the anti-cheat test and the membership of the fixed name sets.

#include <gtest/gtest.h>

#include <string>

#include "iotuner/process_names.h"

namespace {

using zk::iotuner::IsAntiCheatName;
using zk::iotuner::NormalizeProcessName;

TEST(NormalizeProcessName, PathsCaseAndExe) {
    EXPECT_EQ(NormalizeProcessName(""), "");
    EXPECT_EQ(NormalizeProcessName("C:\\Games\\Foo Bar_EAC.exe"), "foobar");
    EXPECT_EQ(NormalizeProcessName("Game-EOS.EXE"), "game");
    EXPECT_EQ(NormalizeProcessName("/opt/x/Discord.exe"), "discord");
    EXPECT_EQ(NormalizeProcessName("a/b\\c/Tool.Exe"), "tool");
    EXPECT_EQ(NormalizeProcessName("C:\\dir\\"), "");
    // ".exe" is dropped only from a longer name; the dot then goes with the other bytes.
    EXPECT_EQ(NormalizeProcessName(".exe"), "exe");
    EXPECT_EQ(NormalizeProcessName("x.exe"), "x");
    EXPECT_EQ(NormalizeProcessName("app.exe.bak"), "appexebak");
    EXPECT_EQ(NormalizeProcessName("notepad"), "notepad");
}

TEST(NormalizeProcessName, OneAntiCheatSuffixInTableOrder) {
    EXPECT_EQ(NormalizeProcessName("Game_EAC_EOS.exe"), "game");
    EXPECT_EQ(NormalizeProcessName("game_eac.exe"), "game");
    EXPECT_EQ(NormalizeProcessName("game_eos.exe"), "game");
    EXPECT_EQ(NormalizeProcessName("game-eac.exe"), "game");
    EXPECT_EQ(NormalizeProcessName("game-eos.exe"), "game");
    EXPECT_EQ(NormalizeProcessName("game_eac_eac.exe"), "game_eac");  // at most one
    EXPECT_EQ(NormalizeProcessName("game-eos_eac.exe"), "game-eos");
    EXPECT_EQ(NormalizeProcessName("_eac.exe"), "");                   // equal to a suffix
    EXPECT_EQ(NormalizeProcessName("_eac"), "");
    EXPECT_EQ(NormalizeProcessName("game_eac "), "game_eac");          // the blank goes after
    EXPECT_EQ(NormalizeProcessName("eac"), "eac");
}

TEST(NormalizeProcessName, KeepsLettersDigitsUnderscoreAndDashOnly) {
    EXPECT_EQ(NormalizeProcessName("My App (x64) v2.1.exe"), "myappx64v21");
    EXPECT_EQ(NormalizeProcessName("ts3client_win64.exe"), "ts3client_win64");
    EXPECT_EQ(NormalizeProcessName("Caf\xC3\xA9-Bar.exe"), "caf-bar");  // UTF-8 bytes dropped
    EXPECT_EQ(NormalizeProcessName(std::string("a\0b.exe", 7)), "ab");
    EXPECT_EQ(NormalizeProcessName("\xC4\x80.exe"), "");
}

TEST(AntiCheatName, TokensAnywhereButNoLookAlikes) {
    EXPECT_EQ(NormalizeProcessName("EasyAntiCheat_launcher.exe"), "easyanticheat_launcher");
    EXPECT_TRUE(IsAntiCheatName("easyanticheat_launcher"));
    for (const char* n : {"battleye", "xbattleyex", "vgk", "vgktray", "vanguard", "eosoverlayrenderer-win64-shipping",
                          "beclient_x64"})
        EXPECT_TRUE(IsAntiCheatName(n)) << n;
    for (const char* n : {"vgc", "battle", "eos", "easyanti", ""}) EXPECT_FALSE(IsAntiCheatName(n)) << n;
}

TEST(NameSets, ExactMembersAndTheOnlyOneTheAggressiveFlagCanFree) {
    using namespace zk::iotuner;
    // Hosts rely on exactly these processes being spared; a misspelt member would quietly
    // lower a process that must be left alone.
    EXPECT_EQ(TunerSystemCritical(), (NameSet{"csrss", "smss", "winlogon", "wininit", "services", "lsass", "svchost",
                                              "dwm", "explorer", "windefend", "msmpeng", "system"}));
    EXPECT_EQ(TunerWhitelist(),
              (NameSet{"lsaiso", "fontdrvhost", "sihost", "taskhostw", "dllhost", "ctfmon", "textinputhost",
                       "smartscreen", "searchhost", "shellexperiencehost", "startmenuexperiencehost", "searchindexer",
                       "widgetboard", "widgetservice", "useroobebroker", "securityhealthsystray", "wmiprvse", "audiodg",
                       "amdfendrsr", "atiesrxx", "atieclxx", "amdrsserv", "amdow", "zelkorperformanceengine",
                       "zelkor_performance_engine", "zelkor"}));
    EXPECT_EQ(TunerStreamers(),
              (NameSet{"obs64", "obs32", "streamlabs", "streamlabsobs", "xsplitcore", "xsplit", "twitchstudio"}));
    EXPECT_EQ(TunerVoiceChat(), (NameSet{"discord", "teamspeak", "ts3client_win64"}));
    EXPECT_EQ(TunerUserImportant(), (NameSet{"audiodg", "searchindexer", "searchhost", "shellexperiencehost",
                                             "startmenuexperiencehost", "textinputhost", "runtimebroker"}));
    for (const auto& n : TunerUserImportant())
        EXPECT_EQ(TunerWhitelist().count(n) == 0, n == "runtimebroker") << n;
    // Every member is already in normalised form, so a lookup by normalised name finds it.
    for (const NameSet* s : {&TunerSystemCritical(), &TunerWhitelist(), &TunerStreamers(), &TunerVoiceChat(),
                             &TunerUserImportant()})
        for (const auto& n : *s) EXPECT_EQ(NormalizeProcessName(n + ".exe"), n);
}

}  // namespace
