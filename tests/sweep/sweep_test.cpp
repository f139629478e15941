// The bad-input sweep over the simulated machine: every row gives its result, leaves no
// handle open, and changes no process but the one the test owns (a row that acts on the
// whole machine must put every process back).

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "support/machine_fixture.h"
#include "sweep/sweep_row.h"

namespace zk {
namespace {

class SweepTest : public test::MachineTest {
protected:
    void SetUp() override {
        machine.setLogicalProcessorCount(8);
        machine.addProcess(win::kSystemPid, 0, "System");
        machine.addProcess(600, 4, "explorer.exe");
        machine.addProcess(700, 600, "game.exe");
        machine.addProcess(710, 600, "background.exe");
        machine.addProcess(env.ownedPid, env.ownPid, "owned.exe");
        // Every process at normal priority on every processor: what the restore leaves.
        for (std::uint32_t pid : {win::kSystemPid, 600u, 700u, 710u, env.ownPid, env.ownedPid})
            machine.process(pid)->affinity = 0xFF;
    }

    using State = std::tuple<std::uint32_t, std::uint32_t, std::uint64_t, bool, bool>;
    std::map<std::uint32_t, State> processStates() {
        std::map<std::uint32_t, State> out;
        for (std::uint32_t pid : {win::kSystemPid, 600u, 700u, 710u, env.ownPid}) {
            machine.withProcess(pid, [&](sim::SimProcess& p) {
                out[pid] = {p.priorityClass, p.ioPriority, p.affinity, p.alive, p.backgroundMode};
            });
        }
        return out;
    }

    const zksweep::Env env{1000, 99999, 500};
};

TEST_F(SweepTest, EveryExportGivesItsResultForBadInput) {
    const zksweep::Rows rows = zksweep::allRows();
    for (const zksweep::Row& row : rows) {
        const auto before = processStates();
        machine.clearChanges();
        EXPECT_TRUE(row.check(env)) << row.call << " should give: " << row.result;
        EXPECT_EQ(machine.openHandleCount(), 0u) << row.call << ": handle leaked";
        EXPECT_EQ(processStates(), before) << row.call << ": changed a process the test does not own";
        if (row.machineWide) continue;
        for (const std::string& change : machine.changes()) {
            const bool ownToken = change.rfind("AdjustTokenPrivileges", 0) == 0;
            EXPECT_TRUE(ownToken) << row.call << " changed the machine: " << change;
        }
    }
    RecordProperty("rows", static_cast<int>(rows.size()));
}

}  // namespace
}  // namespace zk
