// The recovery engine: score, gates, soft and hard modes, cooldowns and every log line.

#include <limits>
#include <utility>
#include <vector>

#include "recovery_fixture.h"

namespace {

using zk::stutter::OffenderInfo;
using zk::stutter::recoveryEngine;
using zk::stutter::recoveryState;
using zk::stutter::StutterContext;
using zk::test::FakeActions;
using zk::test::Lines;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

class RecoveryEngineTest : public zk::test::RecoveryTest {
protected:
    void SetUp() override {
        RecoveryTest::SetUp();
        addGameAndHog();
        FakeActions::install(machine);
        ctx.gamePid = kGame;
        hog = offender(kHog, "hog.exe", "cpu", 350.0);
    }
    void config(std::int32_t soft, std::int32_t hard, double softCooldown = 0, double hardCooldown = 0) {
        QtmRecoveryConfig c{soft, hard, 0, 0, softCooldown, hardCooldown};
        QTM_SetRecoveryConfig(&c);
    }
    // A stutter worth 4 points (risk 0.6, p99 2.1) that is soft under config(1, 100).
    void softStutter() {
        ctx.risk = 0.6;
        ctx.p99Ms = 2.1;
    }
    std::int32_t recover(const OffenderInfo* o) { return recoveryEngine().recover(ctx, o); }
    static QtmRecoveryMetrics metrics() { return recoveryState().metrics(); }

    StutterContext ctx;
    OffenderInfo hog;
};

TEST_F(RecoveryEngineTest, ScorePointsAndTheRealStutterGateAtEachEdge) {
    using Set = void (*)(StutterContext&, double);
    const struct {
        Set set;
        bool stutterSignal;  // load and page faults make no stutter by themselves
        std::vector<std::pair<double, std::int32_t>> edges;  // value, points
    } signals[] = {
        {[](auto& c, double v) { c.risk = v; }, true,
         {{0.9, 7}, {0.8999, 5}, {0.75, 5}, {0.55, 3}, {0.4, 1}, {0.3999, 0}, {kInf, 0}}},
        {[](auto& c, double v) { c.jitterEmaMs = v; }, true, {{2.0, 4}, {1.2, 2}, {0.8, 1}, {0.79, 0}, {kNaN, 0}}},
        {[](auto& c, double v) { c.p99Ms = v; }, true, {{3.5, 4}, {2.5, 2}, {2.0, 1}, {1.99, 0}}},
        {[](auto& c, double v) { c.spikes = static_cast<std::uint32_t>(v); }, true,
         {{25, 3}, {24, 2}, {10, 2}, {5, 1}, {4, 0}}},
        {[](auto& c, double v) { c.thermal = static_cast<std::uint8_t>(v); }, true, {{1, 3}}},
        {[](auto& c, double v) { c.hardPF = static_cast<std::uint32_t>(v); }, false, {{5, 3}, {4, 1}, {1, 1}}},
        {[](auto& c, double v) { c.cpuMaxPct = v; }, false, {{98, 4}, {92, 2}, {88, 1}, {87.9, 0}, {kNaN, 0}}},
        {[](auto& c, double v) { c.ramPct = v; }, false, {{94, 4}, {88, 2}, {82, 1}, {81.9, 0}, {-kInf, 0}}},
        {[](auto& c, double v) { c.loadFactor = v; }, false,
         {{1.7, 2}, {1.69, 1}, {1.3, 1}, {1.29, 0}, {-5, 0}, {kNaN, 0}, {kInf, 0}, {0, 0}}},
    };
    for (std::size_t i = 0; i < std::size(signals); ++i)
        for (const auto& [value, points] : signals[i].edges) {
            ctx = StutterContext{};
            ctx.gamePid = kGame;
            signals[i].set(ctx, value);
            SCOPED_TRACE(testing::Message() << "signal " << i << " at " << value);
            EXPECT_EQ(zk::stutter::recoveryScore(zk::stutter::sanitise(ctx)), points);
            // The configuration at load (all zero) makes every real stutter hard.
            EXPECT_EQ(recover(nullptr), signals[i].stutterSignal && points > 0 ? 2 : 0);
        }
    StutterContext all;
    for (const auto& s : signals) s.set(all, 100);
    EXPECT_EQ(zk::stutter::recoveryScore(zk::stutter::sanitise(all)), 34);
    EXPECT_TRUE(FakeActions::order.empty());
}

TEST_F(RecoveryEngineTest, GatesBeforeAnyActionAndALauncherStopsEverything) {
    const std::string debug = "[DEBUG] [StutterQTM] ", info = "[INFO] [StutterQTM]";
    const struct { StutterContext ctx; const char* name; Lines lines; } cases[] = {
        {{0, 0.95, 0, 5}, "hog.exe", {debug + "Invalid ctx.gamePid, skip."}},
        {{2147483648u, 0.95, 0, 5}, "hog.exe", {debug + "Invalid ctx.gamePid, skip."}},
        // NaN counts as 0; neither load nor page faults make a stutter by themselves.
        {{kGame, kNaN, 0, kInf, 0, 9, 0, 95, 99.5}, "hog.exe",
         {debug + "Geen echte stutter (risk=0 jitter=0 p99=0 CPUmax=99.5 RAM=95 spikes=0 hardPF=9 thermal=False)"}},
        {{kGame, 0.6, 0, 2.1}, "EpicGamesLauncher.exe",
         {info + " Profiler offender → pid=500 name=EpicGamesLauncher.exe reason=cpu score=42.5",
          info + "[SAFE] Launcher detected → EpicGamesLauncher.exe (pid=500) → NO throttle / NO affinity / NO IO / "
                 "NO trim."}},
        {{kGame, 0.5, 0, 2.1}, "hog.exe", {debug + "Alleen lichte jitter (score=2 risk=0.5) → no recovery."}},
    };
    config(3, 10);
    for (const auto& c : cases) {
        clearLines();
        ctx = c.ctx;
        hog = offender(kHog, c.name, "cpu", 350.0);
        EXPECT_EQ(recover(&hog), 0);
        EXPECT_EQ(lines(), c.lines);
    }
    EXPECT_TRUE(FakeActions::order.empty());
    EXPECT_TRUE(machine.changes().empty());
    QTM_SetRecoveryConfig(nullptr);  // ignored: the configuration at load would make it hard
    ctx.loadFactor = 1.3;  // one more point for the light jitter reaches the soft score
    EXPECT_EQ(recover(nullptr), 1);
}

TEST_F(RecoveryEngineTest, ModeSelection) {
    config(1, 1000);
    // A p99 of 4 ms is hard whatever the score, and so is a risk of 0.9 with a p99 of 3 ms.
    const struct { double risk, p99Ms; std::int32_t mode; } cases[] = {
        {0, 4.0, 2}, {0.89, 3.99, 1}, {0.9, 3.0, 2}, {0.9, 2.99, 1}};
    for (const auto& c : cases) {
        ctx.risk = c.risk;
        ctx.p99Ms = c.p99Ms;
        EXPECT_EQ(recover(nullptr), c.mode) << c.risk << " " << c.p99Ms;
    }
    config(1, 12);  // score 7 + 2 + 3 (thermal) = 12 reaches the hard score
    ctx.thermal = 1;
    EXPECT_EQ(recover(nullptr), 2);
    EXPECT_EQ(countContaining(" | thermal=True | score=12"), 1);
}

TEST_F(RecoveryEngineTest, SoftCpuOffenderGetsAffinityThenThrottle) {
    config(4, 100);  // the score is the soft minimum
    softStutter();
    ctx.cpuMaxPct = ctx.ramPct = kNaN;  // printed as 0
    const double t0 = now();
    EXPECT_EQ(recover(&hog), 1);
    EXPECT_EQ(lines(), (Lines{
        "[INFO] [StutterQTM] Profiler offender → pid=500 name=hog.exe reason=cpu score=42.5",
        "[INFO] [StutterQTM] Soft CPU offender tweak → pid=500 (hog.exe)",
        "[INFO] [StutterQTM] Soft native throttle applied → pid=500 (hog.exe) reason=cpu",
        "[INFO] [StutterQTM] Soft recovery → risk=0.6 | jitter=0 | p99=2.1 | CPUmax=0% | RAM=0% | spikes=0 | hardPF=0 | score=4",
    }));
    EXPECT_EQ(FakeActions::throttles[0].trim, 0);
    EXPECT_EQ(FakeActions::throttles[0].image, u"hog.exe");
    EXPECT_EQ(FakeActions::affinities, std::vector<std::int32_t>{kHog});
    EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(kHog) - t0, 150.0);
    EXPECT_EQ(metrics().softRecoveries, 1u);
    EXPECT_TRUE(machine.changes().empty());  // no surgical step in soft mode
}

TEST_F(RecoveryEngineTest, SoftActionsByReasonUnlessBoundElsewhere) {
    config(1, 100);
    softStutter();
    // At 97 % saturation the load is bound elsewhere up to 85 % headroom. The system, the game
    // and pid 0 are no offender at all.
    const struct { std::uint32_t pid; const char* reason; double headroomPct; Lines order; } cases[] = {
        {600, "cpu", 85.1, {"affinity", "throttle"}}, {601, "cpu", 85, {}}, {602, "io", 85.1, {"throttle"}},
        {603, "io", 85, {}}, {604, "ram", 85.1, {}}, {605, "unknown", 85.1, {}}, {4, "cpu", 85.1, {}},
        {kGame, "cpu", 85.1, {}}, {0, "cpu", 85.1, {}}};
    ctx.saturationPct = 97;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pid << " " << c.reason << " " << c.headroomPct);
        FakeActions::order.clear();
        hog = offender(c.pid, "x.exe", c.reason, 10.0);
        ctx.headroomPct = c.headroomPct;
        EXPECT_EQ(recover(&hog), 1);
        EXPECT_EQ(FakeActions::order, c.order);
        EXPECT_EQ(recoveryState().cooldownUntil(c.pid) != 0.0, !c.order.empty());  // only a throttle arms one
    }
}

TEST_F(RecoveryEngineTest, FailedActionsAreLoggedAndKeepOnlyTheSurgicalCooldown) {
    softStutter();
    FakeActions::affinityResult = FakeActions::throttleResult = 0;
    hog.rssMB = 10;
    const double t0 = now();
    config(1, 100);
    EXPECT_EQ(recover(&hog), 1);
    EXPECT_EQ(count("[DEBUG] [StutterQTM] Soft offender affinity tweak faalde."), 1);
    EXPECT_EQ(recoveryState().cooldownUntil(kHog), 0.0);
    config(1, 1);
    EXPECT_EQ(recover(&hog), 2);
    EXPECT_EQ(count("[DEBUG] [StutterQTM] HARD offender affinity faalde."), 1);
    EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(kHog) - t0, 120.0);  // surgical level 2
    EXPECT_EQ(countContaining("native throttle applied"), 0);
}

TEST_F(RecoveryEngineTest, HardActionsByReason) {
    softStutter();
    const char* ioLine = "[INFO] [StutterQTM] HARD IO inverse rond game → locked=7 (game_pid=100)";
    // At 97 % saturation the load is bound elsewhere up to 85 % headroom (a NaN counts as 0).
    // The throttle's cooldown (level 2) replaces the surgical one, even a longer level 3.
    const struct { const char* reason; double ramPct, headroomPct, rssMB; Lines order; int trim; const char* line; double cooldown; } cases[] = {
        {"cpu", 90, 85.1, 10, {"throttle", "memory", "affinity"}, 1, "[INFO] [StutterQTM] HARD CPU offender inverse → pid=600 (x.exe)", 120},
        {"io", 0, 85.1, 10, {"throttle", "io"}, 0, ioLine, 120},
        // Memory is relevant, but there is no relief below 88 %.
        {"ram", 0, 85.1, 350.25, {"throttle"}, 1, "[INFO] [StutterQTM] HARD offender (ram) → pid=602 (x.exe) rss=350.25MB faults=12", 255},
        {"faults", 96, 85.1, 1, {"throttle", "memory"}, 1, "[INFO] [StutterQTM] HARD offender (faults) → pid=603 (x.exe) rss=1MB faults=12", 120},
        // Bound elsewhere: an I/O offender is not trimmed, and its neighbours still lose I/O priority;
        // a CPU offender is not trimmed nor moved.
        {"io", 90, 85, 10, {"throttle", "memory", "io"}, 0, ioLine, 120},
        {"cpu", 90, kNaN, 350, {"throttle", "memory"}, 0, "[INFO] [StutterQTM] HARD recovery zonder duidelijke offender (score=6, risk=0.6)", 255},
    };
    ctx.saturationPct = 97;
    std::uint32_t pid = 600;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.reason << " " << c.headroomPct);
        FakeActions::reset();
        clearLines();
        hog = offender(pid++, "x.exe", c.reason, c.rssMB);
        ctx.ramPct = c.ramPct;
        ctx.headroomPct = c.headroomPct;
        const double t0 = now();
        EXPECT_EQ(recover(&hog), 2);
        EXPECT_EQ(FakeActions::order, c.order);
        EXPECT_EQ(FakeActions::throttles[0].trim, c.trim);
        for (const auto& m : FakeActions::memories) EXPECT_EQ(std::pair(m.pid, m.ramPct), std::pair(kGame, c.ramPct));
        for (const auto pid : FakeActions::ioGamePids) EXPECT_EQ(pid, kGame);
        EXPECT_EQ(count(c.line), 1);
        EXPECT_EQ(lines().back(), "[INFO] [StutterQTM] HARD recovery complete.");
        EXPECT_DOUBLE_EQ(recoveryState().cooldownUntil(hog.pid) - t0, c.cooldown);
    }
    EXPECT_EQ(metrics().hardRecoveries, std::size(cases));
}

TEST_F(RecoveryEngineTest, HardRamReliefLevelsFollowTheMemoryLoad) {
    softStutter();
    const struct { bool offender; double ramPct; std::intptr_t level; } cases[] = {  // level 0: none
        {true, 87.9, 0}, {true, 88, 1},    {true, 91.9, 1}, {true, 92, 2},    {true, 95.9, 2},
        {true, 96, 3},   {false, 91.9, 0}, {false, 92, 2},  {false, 95.9, 2}, {false, 96, 3}};
    std::uint32_t pid = 600;
    for (const auto& c : cases) {
        FakeActions::memories.clear();
        hog = offender(pid++, "x.exe", "cpu", 1.0);
        ctx.ramPct = c.ramPct;
        EXPECT_EQ(recover(c.offender ? &hog : nullptr), 2);
        const std::intptr_t level = FakeActions::memories.empty() ? 0 : FakeActions::memories[0].level;
        EXPECT_EQ(level, c.level) << c.offender << " " << c.ramPct;
    }
    EXPECT_EQ(count("[INFO] [StutterQTM] HARD (no offender) RAM relief (3) → 512.5 MB freed"), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM] RAM relief (3) → 512.5 MB freed"), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM] HARD recovery complete (no offender)."), 4);
}

TEST_F(RecoveryEngineTest, FourProcessorsSkipEveryAffinityStep) {
    machine.setLogicalProcessorCount(4);
    softStutter();
    config(1, 100);
    hog.pid = 501;
    EXPECT_EQ(recover(&hog), 1);
    config(1, 1);
    hog.pid = kHog;  // one the surgical step can open
    EXPECT_EQ(recover(&hog), 2);
    EXPECT_EQ(count("[INFO] [StutterQTM] Soft affinity skip (4-core safety active)"), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM] HARD affinity skip (4-core safety active)"), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM][Surgical] L1 affinity SKIPPED (4-core safety)"), 1);
    // Each skip asks the safety test, which says so every time: the soft step, the surgical one, the hard one.
    EXPECT_EQ(count("[INFO] [StutterQTM] 4-core safety → affinity acties uitgeschakeld (cores=4)"), 3);
    EXPECT_EQ(FakeActions::order, (Lines{"throttle", "throttle"}));
}

TEST_F(RecoveryEngineTest, GlobalCooldownsAndTheSoftStampBlockingHard) {
    // A refused stutter says nothing. The soft stamp blocks both modes; the hard one blocks only hard,
    // and a hard recovery leaves the soft stamp as it was.
    const struct { double softCooldown, hardCooldown; int advanceMs; bool hard; std::int32_t mode; } steps[] = {
        {0, 60, 0, true, 2},     {0, 60, 59'000, true, 0}, {0, 60, 0, false, 1},   {0, 60, 1'000, true, 2},
        {30, 0, 30'000, false, 1}, {30, 0, 10'000, false, 0}, {30, 0, 0, true, 0}, {30, 0, 20'000, false, 1},
        {30, 0, 30'000, true, 2},  {30, 0, 0, false, 1}};
    for (const auto& s : steps) {
        config(1, 100, s.softCooldown, s.hardCooldown);
        machine.advanceMs(s.advanceMs);
        softStutter();
        if (s.hard) ctx.p99Ms = 4.0;
        const auto before = lines().size();
        EXPECT_EQ(recover(nullptr), s.mode);
        EXPECT_EQ(lines().size() == before, s.mode == 0);
    }
    EXPECT_EQ(metrics().softRecoveries, 4u);
    EXPECT_EQ(metrics().hardRecoveries, 3u);
}

}  // namespace
