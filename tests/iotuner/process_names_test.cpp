// Name normalisation, the anti-cheat test and the fixed name sets.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "iotuner/process_names.h"

namespace {

using namespace std::string_view_literals;
using namespace zk::iotuner;

TEST(NormalizeProcessName, Table) {
    const struct {
        std::string_view in;
        const char* out;
    } rows[] = {
        {"", ""},
        {"C:\\Games\\Foo Bar_EAC.exe", "foobar"},
        {"Game-EOS.EXE", "game"},
        {"a/b\\c/Tool.Exe", "tool"},
        {"C:\\dir\\", ""},
        {".exe", "exe"},  // ".exe" goes only from a longer name; the dot then goes with the other bytes
        {"x.exe", "x"},
        {"app.exe.bak", "appexebak"},
        {"Game_EAC_EOS.exe", "game"},  // the suffixes in table order, at most one
        {"game_eac_eac.exe", "game_eac"},
        {"game-eos_eac.exe", "game-eos"},
        {"_eac", ""},               // equal to a suffix
        {"game_eac ", "game_eac"},  // the blank goes after the suffix test
        {"eac", "eac"},
        {"My App (x64) v2.1 [~@].exe", "myappx64v21"},  // letters, digits, '_' and '-' only
        {"ts3client_win64.exe", "ts3client_win64"},
        {"Caf\xC3\xA9-Bar.exe", "caf-bar"},  // UTF-8 bytes dropped
        {"a\0b.exe"sv, "ab"},
        {"\xC4\x80.exe", ""},
        {"ZAZ09.exe", "zaz09"},
    };
    for (const auto& r : rows) EXPECT_EQ(NormalizeProcessName(r.in), r.out) << r.in;
}

TEST(AntiCheatName, TokensAnywhereButNoLookAlikes) {
    for (const char* n : {"easyanticheat_launcher", "xbattleyex", "vgktray", "vanguard",
                          "eosoverlayrenderer-win64-shipping", "beclient_x64"})
        EXPECT_TRUE(IsAntiCheatName(n)) << n;
    for (const char* n : {"vgc", "battle", "eos", "easyanti", ""}) EXPECT_FALSE(IsAntiCheatName(n)) << n;
}

TEST(NameSets, RepresentativeMembersAndNonMembers) {
    const struct {
        const NameSet& set;
        std::vector<std::string> in, out;
    } rows[] = {
        {TunerSystemCritical(), {"csrss", "svchost", "msmpeng", "system"}, {"svchost.exe", "dllhost", "systemsettings"}},
        {TunerWhitelist(), {"lsaiso", "dllhost", "amdow", "zelkor_performance_engine"}, {"runtimebroker", "zelkor64"}},
        {TunerStreamers(), {"obs64", "streamlabsobs", "twitchstudio"}, {"obs", "discord"}},
        {TunerVoiceChat(), {"discord", "teamspeak", "ts3client_win64"}, {"ts3client", "obs64"}},
        {TunerUserImportant(), {"audiodg", "runtimebroker"}, {"dllhost", "explorer"}},
    };
    for (const auto& r : rows) {
        for (const auto& n : r.in) EXPECT_TRUE(r.set.count(n)) << n;
        for (const auto& n : r.out) EXPECT_FALSE(r.set.count(n)) << n;
    }
    // The aggressive flag can free only runtimebroker: the other user-important names are
    // whitelisted, and the whitelist is tested first.
    for (const auto& n : TunerUserImportant()) EXPECT_EQ(TunerWhitelist().count(n) == 0, n == "runtimebroker") << n;
    // Every member is in normalised form, so a lookup by normalised name can find it.
    for (const NameSet* s : {&TunerSystemCritical(), &TunerWhitelist(), &TunerStreamers(), &TunerVoiceChat(),
                             &TunerUserImportant()})
        for (const auto& n : *s) EXPECT_EQ(NormalizeProcessName(n + ".exe"), n);
}

}  // namespace
