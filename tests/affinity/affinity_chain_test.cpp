// End to end on an 8-processor machine: the host boosts a game, then a stutter whose
// offender is a CPU hog; the hard recovery reaches the offender move through the library's
// own export table and puts the hog on the background cores.

#include "stutter/recovery_fixture.h"
#include "stutter/root_cause.h"
#include "stutter/sampler.h"

namespace {

using zk::stutter::HostLoad;
using zk::stutter::StutterRootCause;

class AffinityChainTest : public zk::test::RecoveryTest {
protected:
    void SetUp() override {
        RecoveryTest::SetUp();
        addGameAndHog();
        machine.setOwnExport("Zelkor_Throttle_OffenderW", reinterpret_cast<void*>(&Zelkor_Throttle_OffenderW));
        machine.setOwnExport("extreme_memory_clean", reinterpret_cast<void*>(&extreme_memory_clean));
        machine.setOwnExport("Zelkor_IOTuner_ApplyInverseIo", reinterpret_cast<void*>(&Zelkor_IOTuner_ApplyInverseIo));
        machine.setOwnExport("Zelkor_Affinity_ApplyInverseForOffenderPid",
                             reinterpret_cast<void*>(&Zelkor_Affinity_ApplyInverseForOffenderPid));
        sampler.beginRun();
        for (int i = 0; i < 20; ++i) sampler.processSample(i % 2 ? 9.0 : 1.0);  // a stutter by its p99
    }
    zk::stutter::Sampler sampler;
    StutterRootCause chain{[this](QtmMetrics* m) { sampler.getMetrics(m); }, [this] { return sampler.risk(); }};
    PfRootCause out{};
    std::uint32_t rec = 0;
};

TEST_F(AffinityChainTest, BoostThenAHardCpuRecoveryMovesTheHog) {
    machine.advanceMs(1000);
    ASSERT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 1);
    const HostLoad load{50.0, 70.0, 0.0, 0.0, 1.0};
    EXPECT_EQ(chain.find(kGame, 0.5, 2.0, load, &out, &rec), 0);  // the first walk only learns
    machine.advanceMs(10'000);
    machine.process(kHog)->times.user += 8 * 100'000'000ull;
    EXPECT_EQ(chain.find(kGame, 0.5, 2.0, load, &out, &rec), 1);
    EXPECT_EQ(rec, 2u);
    EXPECT_EQ(out.pid, kHog);
    EXPECT_EQ(countContaining("[INFO] [StutterQTM] HARD CPU offender inverse \xE2\x86\x92 pid=500"), 1);
    EXPECT_EQ(machine.process(kHog)->affinity, 0x9u);
}

}  // namespace
