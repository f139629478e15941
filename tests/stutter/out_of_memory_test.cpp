// Out of memory anywhere below an export: no exception crosses it, and what the export
// reports is what it reports when nothing was found.

#include <cstring>
#include <new>

#include "stutter/sampler.h"
#include "recovery_fixture.h"

namespace zk {
namespace {

using sim::Op;

void throwBadAlloc() { throw std::bad_alloc(); }

bool allBytes(const PfRootCause& r, unsigned char b) {
    const auto* p = reinterpret_cast<const unsigned char*>(&r);
    for (std::size_t i = 0; i < sizeof r; ++i)
        if (p[i] != b) return false;
    return true;
}

class OutOfMemoryTest : public test::RecoveryTest {
protected:
    void SetUp() override {
        RecoveryTest::SetUp();
        addGameAndHog();
        machine.process(kHog)->memory.workingSetSize = 2000ull << 20;  // scores 10 when the risk is 0.9+
        std::memset(&out, 0xAB, sizeof out);
    }
    // Drives the sampler to a risk of 0.95: p99, jitter, page-fault and thermal terms full.
    void stutter() {
        auto& s = stutter::sampler();
        std::vector<sim::ProcessorPower> slow(1);
        slow[0].currentMhz = 1000;
        machine.setProcessors(slow);
        machine.addSystemPageFaults(1);  // a baseline of 0 would mean none yet
        for (int i = 0; i < 10; ++i) s.processSample(i % 2 ? 20.0 : 1.0);
        machine.addSystemPageFaults(1000);
        s.processSample(1.0);
        ASSERT_GE(QTM_GetStutterRisk(), 0.9);
    }
    PfRootCause out{};
};

TEST_F(OutOfMemoryTest, ProfilerWalkReportsNoOffenderWithItsRecordCleared) {
    machine.setHook(Op::OpenProcess, throwBadAlloc);
    EXPECT_EQ(PF_GetRootCause(kGame, 0.95, 5.0, &out), 0);
    EXPECT_TRUE(allBytes(out, 0));
}

TEST_F(OutOfMemoryTest, StutterEntryPointDuringRecoveryReportsNothingFoundWithItsRecordCleared) {
    stutter();
    // The walk has opened every process by the time the recovery asks for the hog's mask.
    machine.setHook(Op::GetProcessAffinityMask, throwBadAlloc);
    std::uint32_t recovery = 9;
    EXPECT_EQ(QTM_GetStutterRootCause(kGame, 0.5, 2.0, 50, 50, 0, 0, 1, &out, &recovery), 0);
    EXPECT_TRUE(allBytes(out, 0));
    EXPECT_EQ(recovery, 0u);
}

}  // namespace
}  // namespace zk
