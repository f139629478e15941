// The whole stutter chain over the simulated machine: a sampler publishes real metrics,
// the profiler walks the simulated processes, the recovery engine runs the surgical
// transaction and the library's real action exports, bound by name.

#include <algorithm>
#include <type_traits>

#include "iotuner/io_tuner.h"
#include "iotuner/offender_throttle.h"
#include "memory/memory_relief.h"
#include "platform/text_format.h"
#include "recovery_fixture.h"
#include "stutter/profiler.h"
#include "stutter/root_cause.h"
#include "stutter/sampler.h"

namespace {

using zk::stutter::HostLoad;
namespace win = zk::win;

// The binding calls the action exports with their declared shapes.
static_assert(std::is_same_v<decltype(&Zelkor_Throttle_OffenderW), zk::stutter::ThrottleOffenderFn>);
static_assert(std::is_same_v<decltype(&extreme_memory_clean), zk::stutter::MemoryCleanFn>);
static_assert(std::is_same_v<decltype(&Zelkor_IOTuner_ApplyInverseIo), zk::stutter::InverseIoFn>);

constexpr std::uint32_t kGameChild = 101;
constexpr std::uint64_t kTenSeconds = 10ull * 10'000'000;  // 100 ns units

class StutterChainTest : public zk::test::RecoveryTest {
protected:
    void SetUp() override {
        RecoveryTest::SetUp();
        resetActionModules();
        addGameAndHog();
        machine.addProcess(kGameChild, kGame, "shadercache.exe");
        machine.setOwnExport("Zelkor_Throttle_OffenderW", reinterpret_cast<void*>(&Zelkor_Throttle_OffenderW));
        machine.setOwnExport("extreme_memory_clean", reinterpret_cast<void*>(&extreme_memory_clean));
        machine.setOwnExport("Zelkor_IOTuner_ApplyInverseIo", reinterpret_cast<void*>(&Zelkor_IOTuner_ApplyInverseIo));

        // Wake-ups alternately 1 ms and 9 ms late: a stutter by its p99.
        sampler.beginRun();
        for (int i = 0; i < 20; ++i) sampler.processSample(i % 2 ? 9.0 : 1.0);
    }
    void TearDown() override {
        resetActionModules();
        RecoveryTest::TearDown();
    }
    static void resetActionModules() {
        zk::stutter::profiler().resetForTests();
        zk::iotuner::offenderThrottle().resetForTests();
        zk::iotuner::tuner().resetForTests();
        zk::memory::memoryRelief().resetForTests();
    }
    // The profiler's result; rec holds what the recovery did.
    std::int32_t find(const HostLoad& load) { return chain.find(kGame, 0.5, 2.0, load, &out, &rec); }

    zk::stutter::Sampler sampler;
    zk::stutter::StutterRootCause chain{[this](QtmMetrics* m) { sampler.getMetrics(m); }, [this] { return sampler.risk(); }};
    PfRootCause out{};
    std::uint32_t rec = 9;
};

TEST_F(StutterChainTest, CpuHogIsFoundAndRecoveredHard) {
    const HostLoad load{50.0, 70.0, 0.0, 0.0, 1.0};
    EXPECT_EQ(find(load), 0);  // the first walk only learns the processes' times
    EXPECT_EQ(rec, 0u);

    // Both the hog and the game's child burn every processor for the next 10 s.
    auto burnTenSeconds = [&] {
        machine.advanceMs(10'000);
        machine.process(kHog)->times.user += 8 * kTenSeconds;
        machine.process(kGameChild)->times.user += 8 * kTenSeconds;
    };
    burnTenSeconds();
    machine.clearChanges();
    EXPECT_EQ(find(load), 1);
    EXPECT_EQ(rec, 2u);
    EXPECT_EQ(out.pid, kHog);  // the game's child burned as much, but is the game's
    EXPECT_EQ(out.category, 1);

    // Surgical level 2, then the real throttle (idle, very low I/O priority, no trim).
    const auto* hog = machine.process(kHog);
    EXPECT_EQ(hog->affinity, 0x80u);
    EXPECT_EQ(hog->priorityClass, win::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(hog->ioPriority, 0u);
    for (const auto& change : machine.changes()) {
        EXPECT_EQ(change.find(" 101"), std::string::npos) << change;
        EXPECT_EQ(change.find("EmptyWorkingSet"), std::string::npos) << change;
    }

    // The sampler's figures and the host's load, as the trigger line gives them.
    QtmMetrics m{};
    sampler.getMetrics(&m);
    const std::string figures = "risk=" + zk::text::formatDouble(m.risk) + " | jitter=" +
                                zk::text::formatDouble(m.jitterEmaMs) + " | p99=" + zk::text::formatDouble(m.p99Ms) +
                                " | CPUmax=70% | RAM=50% | spikes=" + std::to_string(m.spikes) + " | hardPF=0 |";
    EXPECT_EQ(countContaining("[INFO] [StutterQTM] HARD RECOVERY TRIGGERED → " + figures), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM] Profiler offender → pid=500 name=hog.exe reason=cpu score=40"), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM][Surgical] Surgical HARD complete → level=2 pid=500 cooldown armed."), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM] HARD native throttle applied → pid=500 (hog.exe) reason=cpu trim=False"), 1);
    EXPECT_EQ(count("[DEBUG] Affinity inverse niet beschikbaar (Zelkor.dll)."), 1);  // the one action not in the table

    // The next stutter 10 s later names the same hog, which is now in cooldown.
    burnTenSeconds();
    EXPECT_EQ(find(load), 1);
    EXPECT_EQ(rec, 0u);
    EXPECT_EQ(count("[INFO] [StutterQTM] PID in cooldown → skip alle recovery-acties voor pid=500 (hog.exe)"), 1);
}

TEST_F(StutterChainTest, PageFaultHogUnderMemoryPressureGetsTrimAndMemoryRelief) {
    machine.process(kHog)->memory.pageFaultCount = 1000;
    machine.process(kHog)->memory.workingSetSize = 400ull << 20;
    const HostLoad load{93.0, 70.0, 0.0, 0.0, 1.0};
    EXPECT_EQ(find(load), 0);

    machine.advanceMs(10'000);
    machine.process(kHog)->memory.pageFaultCount = 1500;  // fault part 40
    machine.clearChanges();
    EXPECT_EQ(find(load), 1);
    EXPECT_EQ(rec, 2u);
    EXPECT_EQ(out.category, 4);
    EXPECT_EQ(count("[INFO] [StutterQTM] HARD native throttle applied → pid=500 (hog.exe) reason=faults trim=True"), 1);
    EXPECT_EQ(countContaining("[INFO] [StutterQTM] RAM relief (2) → "), 1);
    EXPECT_EQ(count("[INFO] [StutterQTM] HARD offender (faults) → pid=500 (hog.exe) rss=400MB faults=500"), 1);
    const auto changes = machine.changes();
    EXPECT_NE(std::find(changes.begin(), changes.end(), "EmptyWorkingSet 500"), changes.end());
    EXPECT_NE(std::find(changes.begin(), changes.end(), "NtSetSystemInformation 80 4"), changes.end());
}

TEST_F(StutterChainTest, DiskHogLowersTheIoAroundTheGame) {
    machine.addProcess(600, 1, "indexer.exe");
    const HostLoad load{50.0, 70.0, 0.0, 0.0, 1.0};
    EXPECT_EQ(find(load), 0);

    machine.advanceMs(10'000);
    machine.process(kHog)->io.readTransfer += 500ull << 20;  // 50 MB/s: I/O part 30
    EXPECT_EQ(find(load), 1);
    EXPECT_EQ(rec, 2u);
    EXPECT_EQ(out.category, 2);
    EXPECT_EQ(countContaining("[INFO] [StutterQTM] HARD IO inverse rond game → locked="), 1);
    EXPECT_EQ(machine.process(600)->ioPriority, 1u) << "the I/O tuner lowered the bystander";
    EXPECT_EQ(machine.process(kGame)->ioPriority, 2u);
}

}  // namespace
