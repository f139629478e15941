// The protection order through the single-process export: every row with its logged
// reason, a refused process never opened to change it, and the rule order.

#include <gtest/gtest.h>

#include "iotuner_fixture.h"

namespace {

using namespace zk;

struct Row {
    std::uint32_t pid;
    bool aggressive;
    bool streaming;
    std::string reason;  // empty: lowered
    std::uint32_t engine = 200;
};

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
        machine.addProcess(309, 1, "zelkor.exe");
        machine.addProcess(310, 1, "TS3Client_Win64.exe");
        Zelkor_IOTuner_LowerSinglePid(0, 0, 0, 0, 0);  // the one-time privilege lines
        clearLog();
    }

    // Runs the export and checks that a refused process was not opened for a change.
    std::string reason(const Row& r) {
        clearLog();
        const std::size_t opensBefore = machine.opens().size();
        const int result = Zelkor_IOTuner_LowerSinglePid(r.pid, kGame, r.engine, r.aggressive, r.streaming);
        const auto lines = messages();
        if (result == 1) return "";
        EXPECT_EQ(machine.opens().size(), opensBefore) << "refused pid " << r.pid << " was opened";
        if (lines.size() != 1) return "unexpected lines: " + std::to_string(lines.size());
        const std::string head = "[INFO] [IO] pid=" + std::to_string(r.pid);
        if (lines[0].rfind(head, 0) != 0) return "bad line: " + lines[0];
        return lines[0].substr(head.size());
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
        {309, true, false, " SKIPPED (whitelist: zelkor)"},
        {302, true, false, " SKIPPED (anti-cheat: easyanticheat_launcher)"},
        {303, false, false, ""},  // vgc is not vgk
        {304, false, true, " SKIPPED (streamer protected: discord)"},
        {304, false, false, ""},
        {305, true, true, " SKIPPED (streamer protected: obs64)"},
        {310, true, true, " SKIPPED (streamer protected: ts3client_win64)"},
        {306, false, false, " SKIPPED (user-important, non-aggressive: runtimebroker)"},
        {306, false, true, " SKIPPED (user-important, non-aggressive: runtimebroker)"},
        {306, true, false, ""},  // the one member the aggressive flag frees
        {307, true, false, " SKIPPED (whitelist: searchhost)"},
        {308, false, false, ""},
        {201, true, false, "", 0},  // engine 0 protects no children
        {202, true, false, " SKIPPED (system critical: svchost)", 0},
        {kEngine, true, false, "", 0},  // just another process then
    };
    for (const auto& r : rows)
        EXPECT_EQ(reason(r), r.reason) << "pid " << r.pid << " aggressive " << r.aggressive << " streaming "
                                       << r.streaming << " engine " << r.engine;
}

TEST_F(ProtectionOrderTest, EmptySnapshotRefusesAfterTheIdRules) {
    machine.failOp(sim::Op::CreateProcessSnapshot, win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(Zelkor_IOTuner_LowerSinglePid(308, kGame, kEngine, 1, 0), 0);
    EXPECT_EQ(messages(), (std::vector<std::string>{"[ERROR] [IOTuner] CreateToolhelp32Snapshot failed.",
                                                    "[INFO] [IO] pid=308 SKIPPED (no process snapshot)"}));
    EXPECT_EQ(reason({kGame, true, false, ""}), " SKIPPED (game pid)");  // the id rules need no snapshot
}

}  // namespace
