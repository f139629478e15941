// The stutter entry point: metrics gates, the 5 ms rate limit, the profiler's results and
// outRecovery; then the whole chain over the simulated machine: a sampler publishes real
// metrics, the profiler walks, and the recovery runs the library's real action exports.

#include <cstring>
#include <new>
#include <type_traits>

#include "common/text_format.h"
#include "recovery_fixture.h"
#include "stutter/profiler.h"
#include "stutter/root_cause.h"
#include "stutter/sampler.h"

namespace {

using zk::sim::Op;
using zk::stutter::HostLoad;
using zk::stutter::StutterRootCause;
namespace win = zk::win;

constexpr std::uint64_t MB = 1ull << 20;

class RootCauseTest : public zk::test::RecoveryTest {
protected:
    void SetUp() override {
        RecoveryTest::SetUp();
        addGameAndHog();
        // Scores 10 on a first walk (RAM part only): enough when the risk is 0.9 or more, so
        // a call with such a risk that returns 0 was stopped before the walk.
        machine.process(kHog)->memory.workingSetSize = 2000 * MB;
        zk::test::FakeActions::install(machine);
        metrics.risk = 0.95;
        metrics.p99Ms = 3.0;
    }
    // The profiler's result; rec holds what the recovery did.
    std::int32_t call() { return rc.find(kGame, 0.5, 2.0, load, &out, &rec); }

    QtmMetrics metrics{};
    double riskAgain = 0.0;
    StutterRootCause rc{[this](QtmMetrics* m) { *m = metrics; }, [this] { return riskAgain; }};
    HostLoad load{50.0, 60.0, 0.0, 0.0, 1.0};
    PfRootCause out{};
    std::uint32_t rec = 9;
};

TEST_F(RootCauseTest, UnpublishedMetricsTakeTheRiskReadAgain) {
    metrics = QtmMetrics{};
    EXPECT_EQ(call(), -2);  // all zero and risk 0: no analysis yet
    EXPECT_EQ(rec, 0u);
    EXPECT_EQ(rc.find(kGame, 0.5, 2.0, load, &out, nullptr), -2);
    rec = 9;
    EXPECT_EQ(rc.find(kGame, 0.5, 2.0, load, nullptr, &rec), -1);  // cleared before the record is refused
    EXPECT_EQ(rec, 0u);

    riskAgain = 0.95;
    metrics.p1Ms = 0.5;  // any non-zero field counts as published: the risk read again is not consulted
    EXPECT_EQ(call(), 0);  // risk 0 and p99 0: below both thresholds
    metrics.p1Ms = 0;
    EXPECT_EQ(call(), 1);
    EXPECT_EQ(rec, 2u);
    EXPECT_EQ(countContaining("HARD RECOVERY TRIGGERED → risk=0.95 | jitter=0 | p99=0 |"), 1);
}

TEST_F(RootCauseTest, EitherThresholdReachedIsAStutter) {
    // A call that passes the gate stamps it: a severe stutter 1 ms later is then refused.
    const struct { double risk, p99Ms; bool passes; } cases[] = {
        {0.3, 1.5, false}, {0.49, 1.99, false}, {0.3, 2.0, true}, {0.3, 2.5, true}, {0.5, 0.0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "risk " << c.risk << " p99 " << c.p99Ms);
        machine.advanceMs(10'000);  // past both rate limits
        metrics.risk = c.risk;
        metrics.p99Ms = c.p99Ms;
        EXPECT_EQ(call(), 0);  // no offender at these risks
        EXPECT_EQ(rec, 0u);
        machine.advanceMs(1);
        metrics.risk = 0.95;
        EXPECT_EQ(call(), c.passes ? 0 : 1);
    }
}

TEST_F(RootCauseTest, FiveMillisecondRateLimitOnTheSimulatedClock) {
    // The first call at clock 0 counts as a previous call, even when its walk fails; a failed
    // walk starts no recovery.
    machine.failOp(Op::CreateProcessSnapshot, win::ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(call(), -2);
    EXPECT_TRUE(lines().empty());
    zk::stutter::profiler().resetForTests();  // lift the profiler's own 10 s limit
    machine.advanceMs(1);
    EXPECT_EQ(call(), 0);
    EXPECT_EQ(rec, 0u);
    machine.advanceNs(3'999'999);
    EXPECT_EQ(call(), 0);
    machine.advanceNs(1);  // 5 ms after the first
    EXPECT_EQ(call(), 1);

    // Two racing callers: the one that read the clock first stamps second.
    EXPECT_FALSE(rc.admit(machine.nowNs() - 1));
    EXPECT_TRUE(rc.admit(machine.nowNs() + 5'000'000));
}

TEST(RootCauseRecords, OffenderFromTheProfilerRecord) {
    PfRootCause r{};
    std::memset(r.name, 'x', sizeof r.name);  // no terminator at all
    r.category = 2;
    r.ramMB = 400.5;
    r.faults = 500;
    const auto o = zk::stutter::offenderInfo(r);  // pid and score: the chain test's lines
    EXPECT_EQ(std::string(o.name), std::string(63, 'x'));
    EXPECT_STREQ(o.reason, "io");
    EXPECT_EQ(o.rssMB, 400.5);
    EXPECT_EQ(o.faults, 500u);
}

// --- the whole chain ------------------------------------------------------------------

// The binding calls the action exports with their declared shapes.
static_assert(std::is_same_v<decltype(&Zelkor_Throttle_OffenderW), zk::stutter::ThrottleOffenderFn>);
static_assert(std::is_same_v<decltype(&extreme_memory_clean), zk::stutter::MemoryCleanFn>);
static_assert(std::is_same_v<decltype(&Zelkor_IOTuner_ApplyInverseIo), zk::stutter::InverseIoFn>);
static_assert(std::is_same_v<decltype(&Zelkor_Affinity_ApplyInverseForOffenderPid), zk::stutter::InverseAffinityFn>);

constexpr std::uint32_t kGameChild = 101;

class StutterChainTest : public zk::test::RecoveryTest {
protected:
    void SetUp() override {
        RecoveryTest::SetUp();
        addGameAndHog();
        machine.addProcess(kGameChild, kGame, "shadercache.exe");
        machine.setOwnExport("Zelkor_Throttle_OffenderW", reinterpret_cast<void*>(&Zelkor_Throttle_OffenderW));
        machine.setOwnExport("extreme_memory_clean", reinterpret_cast<void*>(&extreme_memory_clean));
        machine.setOwnExport("Zelkor_IOTuner_ApplyInverseIo", reinterpret_cast<void*>(&Zelkor_IOTuner_ApplyInverseIo));
        // Wake-ups alternately 1 ms and 9 ms late: a stutter by its p99.
        zk::stutter::sampler().beginRun();
        for (int i = 0; i < 20; ++i) zk::stutter::sampler().processSample(i % 2 ? 9.0 : 1.0);
    }
    // Both the hog and the game's child burn every processor for the next 10 s.
    void burnTenSeconds() {
        machine.advanceMs(10'000);
        machine.process(kHog)->times.user += 8 * 100'000'000ull;
        machine.process(kGameChild)->times.user += 8 * 100'000'000ull;
    }
    // Through the export, with the host's figures: the profiler's result; rec holds what the recovery did.
    std::int32_t find(const HostLoad& l) {
        return QTM_GetStutterRootCause(kGame, 0.5, 2.0, l.ramPct, l.cpuMaxPct, l.headroomPct, l.saturationPct,
                                       l.loadFactor, &out, &rec);
    }

    PfRootCause out{};
    std::uint32_t rec = 9;
};

TEST_F(StutterChainTest, CpuHogIsFoundAndRecoveredHard) {
    // Each figure distinct, so that two swapped ones show: saturation 98 % with headroom 80 %
    // is load bound elsewhere (no trim, no affinity move for a CPU offender).
    const HostLoad load{89.0, 93.0, 80.0, 98.0, 1.5};
    EXPECT_EQ(find(load), 0);  // the first walk only learns the processes' times
    burnTenSeconds();
    machine.clearChanges();
    EXPECT_EQ(find(load), 1);
    EXPECT_EQ(rec, 2u);
    EXPECT_EQ(out.pid, kHog);  // the game's child burned as much, but is the game's
    EXPECT_EQ(out.category, 1);

    // Surgical level 2, then the real throttle (idle, very low I/O priority, no trim), and RAM relief.
    const auto* hog = machine.process(kHog);
    EXPECT_EQ(hog->affinity, 0x80u);
    EXPECT_EQ(hog->priorityClass, win::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(hog->ioPriority, 0u);

    // The sampler's figures and the host's load, as the trigger line gives them; the score is 11
    // for the window (p99 9 ms, smoothed jitter above 2 ms, risk 0.65), 2 + 2 + 1 for CPU, RAM and load.
    QtmMetrics m{};
    QTM_GetMetrics(&m);
    const std::string figures = "risk=" + zk::text::formatDouble(m.risk) + " | jitter=" +
                                zk::text::formatDouble(m.jitterEmaMs) + " | p99=" + zk::text::formatDouble(m.p99Ms) +
                                " | CPUmax=93% | RAM=89% | spikes=" + std::to_string(m.spikes) +
                                " | hardPF=0 | thermal=False | score=16";
    EXPECT_EQ(count("[INFO] [StutterQTM] HARD RECOVERY TRIGGERED → " + figures), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM] Profiler offender → pid=500 name=hog.exe reason=cpu score=40"), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM] HARD native throttle applied → pid=500 (hog.exe) reason=cpu trim=False"), 1);
    EXPECT_EQ(countContaining("[INFO] [StutterQTM] RAM relief (1) → "), 1);
    EXPECT_EQ(countContaining("Affinity inverse"), 0);  // bound elsewhere: not even looked for

    // The next stutter 10 s later names the same hog, which is now in cooldown.
    burnTenSeconds();
    EXPECT_EQ(find(load), 1);
    EXPECT_EQ(rec, 0u);
    EXPECT_EQ(count("[INFO] [StutterQTM] PID in cooldown → skip alle recovery-acties voor pid=500 (hog.exe)"), 1);
}

// Out of memory in the recovery, when the walk has opened every process and the surgical
// step asks for the hog's mask: nothing found, the record cleared.
TEST_F(StutterChainTest, OutOfMemoryDuringTheRecoveryReportsNothingFound) {
    const HostLoad load{50.0, 70.0, 0.0, 0.0, 1.0};
    EXPECT_EQ(find(load), 0);  // the first walk only learns
    burnTenSeconds();
    machine.setHook(Op::GetProcessAffinityMask, [] { throw std::bad_alloc(); });
    rec = 9;
    EXPECT_EQ(find(load), 0);
    const PfRootCause zero{};
    EXPECT_EQ(std::memcmp(&out, &zero, sizeof out), 0);
    EXPECT_EQ(rec, 0u);
}

}  // namespace
