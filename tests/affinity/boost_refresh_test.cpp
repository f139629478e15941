// Boost, dynamic step and refresh over time on the simulated clock; the module's
// set-up and tear-down; the child monitor.

#include <stdexcept>
#include <thread>

#include "affinity/affinity_module.h"
#include "affinity/boost.h"
#include "affinity/child_monitor.h"
#include "affinity_fixture.h"
#include "support/watchdog.h"

namespace zk::test {
namespace {

using sim::Op;

const std::string kApplied = "[INFO] [Affinity] Inverse-only layout applied (stateless-ready; no restore tracking)";
const std::string kGameEnded = "[INFO] [InverseAffinity] Game ended \xE2\x86\x92 stopping inverse state (NO restore here)";

class BoostAndRefresh : public AffinityTest {
protected:
    void SetUp() override {
        AffinityTest::SetUp();
        configure([](AffinityConfig& c) { c.signature_policy_enabled = 0; });
    }
    std::int32_t step(std::int32_t pid) {
        machine.advanceMs(100);  // past the limiter
        return Zelkor_Affinity_DynamicStepForPid(pid, samples, 3);
    }
    std::int32_t refresh() {
        machine.advanceMs(100);
        return Zelkor_Affinity_RefreshInverse();
    }
    std::uint32_t target() { return affinity::affinity().state.SnapshotInverseState().inverse.targetPid; }
    const double samples[3] = {10.0, 95.0, 20.0};
};

// A boost lays the game's layout out and records it, or refuses with its line and
// records nothing.
TEST_F(BoostAndRefresh, BoostLaysOutAndRecordsTheGameOrRefuses) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        Lines lines;
        std::int32_t result = 0;
    };
    const std::string pins = "[INFO] [InverseAffinity] Background pin set (4-8 cores) => {0,3}";
    const Case cases[] = {
        {"exited", [&] { machine.exitProcess(kGame); }, {"[INFO] [Affinity] ApplyBoost: PID not found or exited"}},
        {"pass failed", [&] { machine.failOp(Op::GetProcessAffinityMask, 5, 1); },
         {pins, "[WARNING] [Affinity] Inverse-only layout failed"}},
        {"walk throws", [&] { machine.setHook(Op::CreateProcessSnapshot, [] { throw std::runtime_error("boom"); }); },
         {"[ERROR] [Affinity] ApplyBoostForPid exception: boom"}},
        {"laid out", [] {}, {pins, "[INFO] [InverseAffinity] Summary \xE2\x86\x92 modified=2 skipped=7 accessDenied=0",
                             kApplied}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Zelkor_Affinity_Cleanup();
        machine.addProcess(kGame, kExplorer, "game.exe");
        c.arrange();
        listen();
        EXPECT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), c.result);
        EXPECT_EQ(lines(), c.lines);
        EXPECT_EQ(target(), c.result ? kGame : 0u);
        EXPECT_EQ(affinityOf(kHog), c.result ? 0x9u : 0u);
        machine.clearFaults();
        machine.setHook(Op::CreateProcessSnapshot, {});
    }
}

TEST_F(BoostAndRefresh, DynamicStepHoldsThenReappliesAfterTheInterval) {
    EXPECT_EQ(step(kGame), 1);
    EXPECT_TRUE(logged("[INFO] [DynamicAffinity] Inverse layout activated via DynamicStep (stateless-ready)"));
    machine.clearChanges();
    machine.advanceMs(9'900);
    EXPECT_EQ(step(kGame), 1) << "10 s: held";
    EXPECT_TRUE(machine.changes().empty());
    EXPECT_EQ(metrics().reapplied, 0u);
    machine.process(kHog)->affinity = 0;  // someone else widened it meanwhile
    machine.advanceMs(20'900);
    EXPECT_EQ(step(kGame), 1) << "31 s: re-applied";
    EXPECT_EQ(metrics().reapplied, 1u);
    EXPECT_EQ(affinityOf(kHog), 0x9u);
    EXPECT_EQ(step(kGame), 1) << "the interval starts again";
    EXPECT_EQ(metrics().reapplied, 1u);

    configure([](AffinityConfig& c) { c.reapply_interval_sec = 0; });
    EXPECT_EQ(step(kGame), 1);
    EXPECT_EQ(step(kGame), 1);
    EXPECT_EQ(metrics().reapplied, 3u) << "an interval of 0 re-applies every admitted call";
}

TEST_F(BoostAndRefresh, DynamicStepArgumentsAndANewGame) {
    EXPECT_EQ(Zelkor_Affinity_DynamicStepForPid(kGame, nullptr, 3), 0);
    EXPECT_EQ(Zelkor_Affinity_DynamicStepForPid(kGame, samples, 0), 0);
    EXPECT_EQ(Zelkor_Affinity_DynamicStepForPid(kGame, samples, 3), 1) << "the limiter was not consulted before";
    EXPECT_EQ(step(kChrome), 1);
    EXPECT_EQ(target(), kChrome) << "a new game replaces the layout";
    listen();
    EXPECT_EQ(step(4242), 0);
    EXPECT_EQ(lines(), (Lines{"[INFO] [InverseAffinity] Background pin set (4-8 cores) => {0,3}"}));
    machine.setHook(Op::CreateProcessSnapshot, [] { throw std::runtime_error("boom"); });
    EXPECT_EQ(step(kGame), 0);
    EXPECT_EQ(lines().back(), "[ERROR] [DynamicAffinity] Unexpected error");
    int snapshots = 0;  // the second is the layout pass's: a failed pass is no step
    machine.setHook(Op::CreateProcessSnapshot, [&] { if (++snapshots == 2) throw std::runtime_error("boom"); });
    EXPECT_EQ(step(kGame), 0);
}

TEST_F(BoostAndRefresh, LoadClassOfTheSamples) {
    const std::pair<std::vector<double>, int> cases[] = {
        {{}, 2},
        {{90, 10, 10, 10, 10}, 0},  // one spike over a quiet game
        {{90, 10, 10, 25, 25}, 2},  // 25 is not quiet
        {{90, 10, 10, 50}, 2},      // quiet only half the time
        {{80, 75, 10, 10}, 1},      // half of them busy
        {{40, 40, 40, 40, 80}, 2},  // a busy mean
        {{10, 10, 65, 10, 10}, 3},  // quiet, one peak above 60
        {{10, 10, 20, 10, 10}, 2},
    };
    for (const auto& [samples, loadClass] : cases)
        EXPECT_EQ(affinity::loadClassOf(samples.data(), samples.size()), loadClass) << testing::PrintToString(samples);
}

TEST_F(BoostAndRefresh, RefreshKeepsFreshAndNoticesTheEnd) {
    EXPECT_EQ(refresh(), 0) << "no layout";
    EXPECT_TRUE(lines().empty());
    ASSERT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    EXPECT_EQ(refresh(), 1);
    machine.advanceMs(30'000);
    EXPECT_EQ(refresh(), 1);
    EXPECT_EQ(metrics().reapplied, 1u);
    machine.advanceMs(30'000);
    machine.failOp(Op::GetProcessAffinityMask, 5, 1);
    EXPECT_EQ(refresh(), 0) << "a failed re-application";
    EXPECT_EQ(metrics().reapplied, 1u);
    machine.exitProcess(kGame);
    listen();
    EXPECT_EQ(refresh(), 0);
    EXPECT_EQ(refresh(), 0);
    EXPECT_EQ(lines(), (Lines{kGameEnded}));
    EXPECT_EQ(target(), 0u);
}

TEST_F(BoostAndRefresh, InitializeCleanupAndResetAll) {
    machine.denyPrivilege("SeDebugPrivilege");
    machine.notAllAssigned("SeIncreaseQuotaPrivilege");
    affinity::affinity().metrics.modifiedTotal = 5;
    EXPECT_EQ(Zelkor_Affinity_Initialize(), 1);
    EXPECT_EQ(lines(), (Lines{"[INFO] [Privileges] Initialiseren privileges...",
                              "[WARNING] [Privileges] LookupPrivilegeValueW FAILED",
                              "[INFO] [Privileges] Privilege enabled", "[INFO] [Privileges] Privilege enabled",
                              "[INFO] [Privileges] Privilege not assigned",
                              "[INFO] [Affinity] Initialize complete (inverse-only, stateless-ready)"}));
    EXPECT_EQ(metrics(), Metrics{});

    ASSERT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 1);
    Zelkor_Affinity_ResetAll();
    EXPECT_EQ(target(), 0u);
    EXPECT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 0) << "ResetAll keeps the limiter";
    listen();
    Zelkor_Affinity_Cleanup();
    EXPECT_EQ(lines(), (Lines{"[INFO] [Affinity] Cleanup complete (no restore performed)"}));
    EXPECT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 1) << "Cleanup emptied the limiter";
    EXPECT_EQ(metrics().modified, 4u);
}

// The monitors' pause is a minute long: each step below must wake the monitor in it.
TEST_F(BoostAndRefresh, MonitorRunsOnlyWhenEnabledOnePerGameAndStopsOnCleanup) {
    ASSERT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 1);
    EXPECT_EQ(machine.moduleThreadsRunning(), 0u);

    Zelkor_Affinity_Cleanup();
    configure([](AffinityConfig& c) {
        c.child_monitor_enabled = 1, c.child_monitor_poll_ms = 60'000, c.rate_limit_enabled = 0;
    });
    affinity::StartChildMonitor(0);  // no game, no monitor
    EXPECT_EQ(machine.moduleThreadsRunning(), 0u);
    affinity::ChildMonitorControl& control = affinity::affinity().monitor;
    const std::string exiting = "[INFO] [ChildMonitor] (noop) Exiting for parent PID 500";
    ASSERT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 1);
    ASSERT_TRUE(eventually([&] { return control.pausing() == 1; }));
    ASSERT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 1);  // the first monitor is woken and leaves
    EXPECT_TRUE(eventually([&] { return logged(exiting) == 1 && control.pausing() == 1; }));
    EXPECT_EQ(logged(exiting), 1u);
    Zelkor_Affinity_Cleanup();  // wakes the second
    EXPECT_TRUE(eventually([&] { return logged(exiting) == 2; }));
    machine.joinModuleThreads();
    EXPECT_EQ(logged("[INFO] [ChildMonitor] (noop) Started for parent PID 500"), 2u);

    machine.failOp(Op::StartModuleThread, 8, 1);
    listen();
    ASSERT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 1) << "the boost does not depend on its monitor";
    EXPECT_TRUE(logged("[WARNING] [ChildMonitor] thread start failed: error 8"));
    machine.setHook(Op::StartModuleThread, [] { throw 1; });
    ASSERT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 1);
    EXPECT_TRUE(logged("[WARNING] [ChildMonitor] thread start failed (unknown)"));
}

TEST_F(BoostAndRefresh, MonitorEndsByItselfWhenItsGameEndsPollingAtLeastEveryTenMilliseconds) {
    configure([](AffinityConfig& c) {
        c.child_monitor_enabled = 1, c.child_monitor_poll_ms = 1, c.rate_limit_enabled = 0;
    });
    EXPECT_EQ(affinity::childMonitorPollMs(), 10);
    ASSERT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 1);
    machine.exitProcess(kGame);
    ASSERT_TRUE(eventually([] { return logged("[INFO] [ChildMonitor] (noop) Exiting for parent PID 500") == 1; }));
    machine.joinModuleThreads();
    EXPECT_EQ(logged("[INFO] [ChildMonitor] (noop) Parent PID ended \xE2\x86\x92 stopping monitor"), 1u);
}

TEST_F(BoostAndRefresh, MonitorGenerationsAreKeptPerGame) {
    affinity::ChildMonitorControl c;
    const std::uint64_t first = c.begin(kGame), other = c.begin(kChrome), second = c.begin(kGame);
    EXPECT_FALSE(c.current(kGame, first));
    EXPECT_FALSE(c.waitWhileCurrent(kGame, first, 60'000)) << "a stale monitor does not wait";
    EXPECT_TRUE(c.current(kGame, second));
    EXPECT_TRUE(c.current(kChrome, other)) << "another game's monitor watches on";
    c.end(kGame, first);
    EXPECT_TRUE(c.current(kGame, second)) << "an older monitor leaving ends nothing of the newer";
    c.stopAll();
    EXPECT_FALSE(c.current(kGame, second) || c.current(kChrome, other));
    EXPECT_NE(c.begin(kGame), second) << "a generation is never given twice";
}

}  // namespace
}  // namespace zk::test
