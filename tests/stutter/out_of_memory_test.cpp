// Out of memory anywhere below an export: no exception crosses it, and what the export
// reports is what it reports when nothing was found; nothing is left half changed.

#include <cstring>
#include <new>

#include "stutter/sampler.h"
#include "stutter/surgical_recovery.h"
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

// A line that cannot be built once the surgical transaction has changed the offender: before
// the exception goes on, what an uncommitted transaction changed is put back and the
// cooldown is armed, as at the end of any attempt.
const char* g_failingLine = "";
void ZK_CALL failAt(const char* line) {
    if (std::strstr(line, g_failingLine)) throw std::bad_alloc();
}

TEST_F(OutOfMemoryTest, ASurgicalLineThatThrowsStillRollsBackAndArmsTheCooldown) {
    const struct {
        const char* line;
        bool committed;
    } cases[] = {{"L1: Affinity", false},
                 {"L2: Priority", false},
                 {"L3: EmptyWorkingSet", false},
                 {"Surgical HARD complete", true}};
    QTM_Stutter_SetLogCallback(&failAt);
    stutter::StutterContext ctx;
    ctx.gamePid = kGame;
    std::uint32_t pid = 600;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        g_failingLine = c.line;
        machine.addProcess(++pid, 1, "x.exe").affinity = 0x0F;
        const sim::SimProcess before = *machine.process(pid);
        const auto failures = stutter::recoveryState().metrics().surgicalFailures;
        const double t0 = now();
        EXPECT_THROW(stutter::surgicalHard(ctx, offender(pid, "x.exe", "cpu", 150.0), 15, 91.0, {0, 0, 10, 15, 0, 0}),
                     std::bad_alloc);
        EXPECT_EQ(machine.process(pid)->affinity == before.affinity, !c.committed);
        EXPECT_EQ(machine.process(pid)->priorityClass == before.priorityClass, !c.committed);
        EXPECT_DOUBLE_EQ(stutter::recoveryState().cooldownUntil(pid) - t0, 180.0);
        EXPECT_EQ(stutter::recoveryState().metrics().surgicalFailures - failures, c.committed ? 0u : 1u);
    }
}

}  // namespace
}  // namespace zk
