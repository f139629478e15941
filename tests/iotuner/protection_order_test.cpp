// The protection order: every row, its reason text, and which rule wins when several match.

#include <gtest/gtest.h>

#include "iotuner/protection_order.h"
#include "iotuner_fixture.h"

namespace {

using namespace zk;
using iotuner::ProtectionRequest;
using iotuner::Refusal;

struct Row {
    std::uint32_t pid;
    bool aggressive;
    bool streaming;
    std::string reason;  // empty: may be lowered
};

class ProtectionOrderTest : public test::IoTunerTest {
protected:
    void SetUp() override {
        IoTunerTest::SetUp();
        machine.addProcess(100, 1, "Game.exe");
        machine.addProcess(200, 1, "Engine.exe");
        machine.addProcess(201, 200, "helper.exe");         // child of the engine
        machine.addProcess(202, 201, "svchost.exe");        // grandchild, also critical
        machine.addProcess(300, 1, "C:\\Windows\\svchost.exe");
        machine.addProcess(301, 1, "DllHost.exe");
        machine.addProcess(302, 1, "EasyAntiCheat_launcher.exe");
        machine.addProcess(303, 1, "vgc.exe");
        machine.addProcess(304, 1, "Discord.exe");
        machine.addProcess(305, 1, "obs64.exe");
        machine.addProcess(306, 1, "RuntimeBroker.exe");
        machine.addProcess(307, 1, "SearchHost.exe");
        machine.addProcess(308, 1, "chrome.exe");
        machine.addProcess(309, 1, "zelkor.exe");
    }

    std::string decide(std::uint32_t pid, bool aggressive, bool streaming, std::uint32_t enginePid = 200) {
        ProtectionRequest r{pid, 100, enginePid, aggressive, streaming};
        if (Refusal ids = iotuner::CheckIds(r); ids != Refusal::None) return iotuner::RefusalText(ids, "");
        const auto snap = iotuner::TakeProcessSnapshot();
        const iotuner::ProcessEntry* e = nullptr;
        const Refusal rest = iotuner::CheckInSnapshot(r, snap, &e);
        return iotuner::RefusalText(rest, e ? e->name : "");
    }
};

TEST_F(ProtectionOrderTest, EveryRowWithItsReason) {
    const std::vector<Row> rows = {
        {0, true, true, " SKIPPED (system pid)"},
        {4, false, false, " SKIPPED (system pid)"},
        {100, true, false, " SKIPPED (game pid)"},
        {200, true, false, " SKIPPED (zelkor pid)"},
        {999, true, false, " SKIPPED (pid not found in snapshot)"},
        {201, true, false, " SKIPPED (child of Zelkor)"},
        {202, true, false, " SKIPPED (child of Zelkor)"},
        {300, true, false, " SKIPPED (system critical: svchost)"},
        {301, true, false, " SKIPPED (whitelist: dllhost)"},
        {309, true, false, " SKIPPED (whitelist: zelkor)"},
        {302, true, false, " SKIPPED (anti-cheat: easyanticheat_launcher)"},
        {303, false, false, ""},
        {304, false, true, " SKIPPED (streamer protected: discord)"},
        {304, false, false, ""},
        {305, true, true, " SKIPPED (streamer protected: obs64)"},
        {306, false, false, " SKIPPED (user-important, non-aggressive: runtimebroker)"},
        {306, true, false, ""},
        {307, true, false, " SKIPPED (whitelist: searchhost)"},
        {308, false, false, ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(decide(r.pid, r.aggressive, r.streaming), r.reason)
            << "pid " << r.pid << " aggressive " << r.aggressive << " streaming " << r.streaming;
    // Without an engine id nothing counts as its child, and 0 is no engine.
    EXPECT_EQ(decide(201, true, false, 0), "");
    EXPECT_EQ(decide(202, true, false, 0), " SKIPPED (system critical: svchost)");
}

TEST_F(ProtectionOrderTest, EmptySnapshotRefusesAfterTheIdRules) {
    machine.failOp(sim::Op::CreateProcessSnapshot, win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(decide(308, true, false), " SKIPPED (no process snapshot)");
    EXPECT_EQ(decide(100, true, false), " SKIPPED (game pid)");
}

}  // namespace
