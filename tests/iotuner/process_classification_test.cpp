// Process classification for the I/O tuner: its log channel, the normalised names and name
// sets, the process snapshot with the parent-chain test, and the protection order through
// the single-process export (every rule with its logged reason, refused processes unopened).

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "iotuner/tuner/process_names.h"
#include "iotuner/tuner/process_snapshot.h"
#include "iotuner/tuner/tuner_log.h"
#include "iotuner_fixture.h"

namespace {

using namespace std::string_view_literals;
using namespace zk;
using namespace zk::iotuner;

class ClassificationTest : public test::IoTunerTest {};

int g_reentered = 0;
void ZK_CALL reenter(const char*) {
    ++g_reentered;
    TunerLog(1, "from inside the callback");  // must neither deadlock nor recurse
}

TEST_F(ClassificationTest, ExactLineToEverySinkWithLevelTagsAndDebugLinesOnlyWhenEnabled) {
    machine.advanceMs((3600 + 2 * 60 + 3) * 1000 + 999);  // 13:02:03.999 on the machine's first day
    TunerLog(0, "hidden");
    SetIOTunerDebug(1);
    TunerLog(0, "shown");
    SetIOTunerDebug(0);
    TunerLog(0, "hidden again");
    TunerLog(1, "one");
    TunerLog(2, "two");
    TunerLog(3, "three");
    TunerLog(7, "seven");
    const std::string stamp = "[ZELKOR.IOTUNER.INVERSE] [2026-12-06 13:02:03] ";
    const std::vector<std::string> expected = {stamp + "[DEBUG] shown", stamp + "[INFO] one", stamp + "[WARNING] two",
                                               stamp + "[ERROR] three", stamp + "[INFO] seven"};
    EXPECT_EQ(logged(), expected);
    std::vector<std::string> debug;
    for (const auto& l : expected) debug.push_back(l + "\n");
    EXPECT_EQ(machine.debugOutput(), debug);
    EXPECT_EQ(machine.stdErr(), std::accumulate(debug.begin(), debug.end(), std::string()));
    // Without the callback the other sinks still get every line.
    SetIOTunerLogCallback(nullptr);
    TunerLog(1, "x");
    EXPECT_EQ(logged().size(), 5u);
    EXPECT_NE(machine.stdErr().find("[INFO] x\n"), std::string::npos);
    SetIOTunerLogCallback(&reenter);  // a callback that logs again
    TunerLog(1, "outer");
    EXPECT_EQ(g_reentered, 1);
    EXPECT_EQ(machine.debugOutput().size(), 7u);
}

TEST(NormalizeProcessName, Table) {
    const struct { std::string_view in; const char* out; } rows[] = {
        {"", ""},
        {"C:\\Games\\Foo Bar_EAC.exe", "foobar"},
        {"Game-EOS.EXE", "game"},
        {"x_eos.exe", "x"},
        {"x-EAC", "x"},
        {"a/b\\c/Tool.Exe", "tool"},
        {".exe", "exe"},  // ".exe" goes only from a longer name; the dot then goes with the other bytes
        {"x.exe", "x"},
        {"Game_EAC_EOS.exe", "game"},  // the suffixes in table order, at most one
        {"game_eac_eac.exe", "game_eac"},
        {"game-eos_eac.exe", "game-eos"},
        {"_eac", ""},               // equal to a suffix
        {"game_eac ", "game_eac"},  // the blank goes after the suffix test
        {"My App (x64) v2.1 [~@].exe", "myappx64v21"},  // letters, digits, '_' and '-' only
        {"Caf\xC3\xA9-Bar.exe", "caf-bar"},  // UTF-8 bytes dropped
        {"a\0b.exe"sv, "ab"},
        {"ZAZ09.exe", "zaz09"},
    };
    for (const auto& r : rows) EXPECT_EQ(NormalizeProcessName(r.in), r.out) << r.in;
}

// The sets themselves are pinned member for member with the other fixed lists (tests/contract).
TEST(NameSets, AntiCheatTokensAnywhere) {
    for (const char* n : {"easyanticheat_launcher", "xbattleyex", "vgktray", "vanguard",
                          "eosoverlayrenderer-win64-shipping", "beclient_x64"})
        EXPECT_TRUE(IsAntiCheatName(n)) << n;
    for (const char* n : {"vgc", "battle", "eos", "easyanti", ""}) EXPECT_FALSE(IsAntiCheatName(n)) << n;
}

TEST_F(ClassificationTest, NormalisedNamesInPlatformOrderWithoutNamesOver260Bytes) {
    machine.addProcess(500, 1000, "C:\\Games\\Foo Bar_EAC.exe");
    machine.addProcess(501, 500, u"Caf\u00e9.exe");
    machine.addProcess(502, 0, std::u16string(u"x") + char16_t(0xD800) + u".exe");  // lone surrogate
    machine.addProcess(600, 0, std::u16string(100, u'\u00e9') + u".exe");  // 200 + 4 bytes: fits
    machine.addProcess(601, 0, std::u16string(130, u'\u00e9'));             // 260 bytes: no room for the NUL
    machine.addProcess(602, 0, std::u16string(86, u'\u20ac') + u"a");      // 258 + 1 bytes: fits
    const ProcessSnapshot s = iotuner::TakeProcessSnapshot();
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::string>> rows;
    for (const auto& e : s.entries()) rows.emplace_back(e.pid, e.parentPid, e.name);
    EXPECT_EQ(rows, (decltype(rows){{1000, 4, "zelkor_tests"}, {500, 1000, "foobar"}, {501, 500, "caf"},
                                    {502, 0, "x"}, {600, 0, ""}, {602, 0, "a"}}));  // the machine's own first
    EXPECT_EQ(s.find(501), &s.entries()[2]);
    EXPECT_EQ(s.find(9), nullptr);
}

ProcessSnapshot chain(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> rows) {
    ProcessSnapshot s;
    for (auto [pid, parent] : rows) s.add({pid, parent, "p"});
    return s;
}

TEST(IsDescendantOf, FollowsParentsUntilTheChainEndsOrLoops) {
    // 10 <- 11 <- 12; 20 has no parent; 21's parent is unknown; 30 -> 31 -> 32 -> 31 loops;
    // 40 is its own parent; 60 is listed twice.
    const auto s = chain({{10, 1}, {11, 10}, {12, 11}, {20, 0}, {21, 99}, {30, 31}, {31, 32}, {32, 31}, {40, 40},
                          {50, 30}, {60, 61}, {60, 62}});
    const struct { std::uint32_t pid, ancestor; bool expected; } rows[] = {
        {12, 10, true}, {12, 1, true},  // the ancestor need not be in the snapshot itself
        {12, 12, true}, {77, 77, true}, {40, 40, true},  // a process descends from itself
        {10, 12, false}, {20, 10, false}, {21, 10, false}, {0, 0, false}, {77, 10, false},
        {30, 99, false}, {50, 99, false}, {40, 41, false},  // loops end in false
        {50, 32, true},                                     // an ancestor met before the loop closes
        {60, 61, true}, {60, 62, false},                    // a repeated pid uses its first entry
    };
    for (const auto& r : rows) EXPECT_EQ(IsDescendantOf(r.pid, r.ancestor, s), r.expected) << r.pid << r.ancestor;
    EXPECT_TRUE(IsDescendantOf(11, 1, chain({{10, 1}, {11, 10}})));  // a chain through every entry
}

// One process through the protection order; an empty reason: lowered.
struct Row { std::uint32_t pid; bool aggressive, streaming; std::string reason; std::uint32_t engine = 200; };

class ProtectionOrderTest : public test::IoTunerTest {
protected:
    static constexpr std::uint32_t kGame = 100, kEngine = 200;

    void SetUp() override {
        IoTunerTest::SetUp();
        machine.addProcess(kGame, 1, "Game.exe");
        machine.addProcess(kEngine, 1, "Engine.exe");
        machine.addProcess(201, kEngine, "helper.exe");   // child of the engine
        machine.addProcess(202, 201, "svchost.exe");      // grandchild, also critical
        machine.addProcess(300, 1, "C:\\Windows\\System32\\svchost.exe");
        machine.addProcess(301, 1, "DllHost.exe");
        machine.addProcess(302, 1, "EasyAntiCheat_launcher.exe");
        machine.addProcess(303, 1, "vgc.exe");
        machine.addProcess(304, 1, "Discord.exe");
        machine.addProcess(305, 1, "obs64.exe");
        machine.addProcess(306, 1, "RuntimeBroker.exe");
        machine.addProcess(307, 1, "SearchHost.exe");
        machine.addProcess(308, 1, "chrome.exe");
        Zelkor_IOTuner_LowerSinglePid(0, 0, 0, 0, 0);  // the one-time privilege lines
        clearLog();
    }

    // The export's refusal line for the row ("" when lowered); a refused process is never opened.
    std::string reason(const Row& r) {
        clearLog();
        const std::size_t opensBefore = machine.opens().size();
        if (Zelkor_IOTuner_LowerSinglePid(r.pid, kGame, r.engine, r.aggressive, r.streaming) == 1) return "";
        EXPECT_EQ(machine.opens().size(), opensBefore) << "refused pid " << r.pid << " was opened";
        const auto lines = messages();
        return lines.size() == 1 ? lines[0] : "lines: " + std::to_string(lines.size());
    }
};

TEST_F(ProtectionOrderTest, EveryRowWithItsReason) {
    const std::vector<Row> rows = {
        {0, true, true, " SKIPPED (system pid)"},
        {4, false, false, " SKIPPED (system pid)"},
        {kGame, true, false, " SKIPPED (game pid)"},
        {kEngine, true, false, " SKIPPED (zelkor pid)"},
        {999, true, false, " SKIPPED (pid not found in snapshot)"},
        {201, true, false, " SKIPPED (child of Zelkor)"},
        {202, true, false, " SKIPPED (child of Zelkor)"},
        {300, true, false, " SKIPPED (system critical: svchost)"},  // aggressive does not free it
        {301, true, false, " SKIPPED (whitelist: dllhost)"},
        {302, true, false, " SKIPPED (anti-cheat: easyanticheat_launcher)"},
        {303, false, false, ""},  // vgc is not vgk
        {304, false, true, " SKIPPED (streamer protected: discord)"},
        {304, false, false, ""},
        {305, true, true, " SKIPPED (streamer protected: obs64)"},
        {306, false, false, " SKIPPED (user-important, non-aggressive: runtimebroker)"},
        {306, true, false, ""},  // the one member the aggressive flag frees
        {307, true, false, " SKIPPED (whitelist: searchhost)"},
        {308, false, false, ""},
        {201, true, false, "", 0},  // engine 0 protects no children
        {202, true, false, " SKIPPED (system critical: svchost)", 0},
        {kEngine, true, false, "", 0},  // just another process then
    };
    for (const auto& r : rows)
        EXPECT_EQ(reason(r), r.reason.empty() ? "" : "[INFO] [IO] pid=" + std::to_string(r.pid) + r.reason)
            << "aggressive " << r.aggressive << " streaming " << r.streaming << " engine " << r.engine;
}

TEST_F(ProtectionOrderTest, EmptySnapshotRefusesAfterTheIdRules) {
    machine.failOp(sim::Op::CreateProcessSnapshot, win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(Zelkor_IOTuner_LowerSinglePid(308, kGame, kEngine, 1, 0), 0);
    EXPECT_EQ(messages(), (std::vector<std::string>{"[ERROR] [IOTuner] CreateToolhelp32Snapshot failed.",
                                                    "[INFO] [IO] pid=308 SKIPPED (no process snapshot)"}));
    EXPECT_EQ(reason({kGame, true, false, ""}), "[INFO] [IO] pid=100 SKIPPED (game pid)");  // needs no snapshot
}

}  // namespace
