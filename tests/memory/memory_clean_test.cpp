// extreme_memory_clean: the load gate, the purges, the pacing and every result.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "memory/available_memory.h"
#include "memory_fixture.h"

namespace zk::test {
namespace {

using sim::Op;
using Strings = std::vector<std::string>;
using Times = std::vector<std::uint64_t>;

class ExtremeCleanTest : public MemoryTest {};

TEST_F(ExtremeCleanTest, BelowTheThresholdAndInTheDoNothingExportsNothingHappens) {
    scriptBeforeAfter(1000, 3000);
    for (double load : {74.9, 0.0, -5.0, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(extreme_memory_clean(1234, load, nullptr), 0.0) << load;
    }
    ram_overseer_step();  // the two do-nothing exports
    clear_rights_cache();
    EXPECT_EQ(machine.nowNs(), 0u);  // not even measured
    EXPECT_TRUE(machine.changes().empty());
    EXPECT_TRUE(isZero(get_memory_stats()));
}

TEST_F(ExtremeCleanTest, AtTheThresholdOnePurgeAndTheAmountFreed) {
    scriptBeforeAfter(1000, 1512);
    EXPECT_EQ(extreme_memory_clean(1234, 75.0, u"HARDQ"), 512.0);
    EXPECT_EQ(machine.changes(), (Strings{kPrivilegeOn, kPurge}));
    // Less memory afterwards is nothing freed, but still a cleaning.
    scriptBeforeAfter(3000, 1000);
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), 0.0);
    const MemoryStats s = get_memory_stats();
    EXPECT_EQ(s.calls, 2u);
    EXPECT_EQ(s.totalFreedMb, 512.0);
    EXPECT_EQ(s.lastCode, 0);
    EXPECT_EQ(s.codeCounts[0], 2);
}

TEST_F(ExtremeCleanTest, PacingAtLightAndHeavyLoad) {
    // Steady readings: 50, 10, 10, 10 ms between the five; the purge; 75 ms; the next five.
    scriptBeforeAfter(1000, 1000);
    EXPECT_EQ(extreme_memory_clean(0, 95.9, nullptr), 0.0);
    EXPECT_EQ(readingsAt(), (Times{0, 50, 60, 70, 80, 155, 205, 215, 225, 235}));
    EXPECT_EQ(purgesAt(), (Times{80}));
    // At heavy load a second purge 50 ms after the first, and 150 ms after that.
    EXPECT_EQ(extreme_memory_clean(0, 96.0, nullptr), 0.0);
    EXPECT_EQ(purgesAt(), (Times{80, 315, 365}));
    EXPECT_EQ(readingsAt().at(15), 515u);
}

TEST_F(ExtremeCleanTest, MovingReadingsWaitLongerAndTheMedianCounts) {
    // A reading equal to the one before it is followed by 10 ms, any other by 50 ms.
    scriptMb({900, 900, 700, 700, 800, 2000});
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), 2000.0 - 800.0);
    const Times at = readingsAt();
    EXPECT_EQ(Times(at.begin(), at.begin() + 5), (Times{0, 50, 60, 110, 120}));
    // Unsorted readings: the third smallest, not the third read.
    scriptMb({500, 100, 400, 200, 300, 1000});
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), 700.0);
}

TEST_F(ExtremeCleanTest, FailedMeasurementsAreResultsAndNotRecorded) {
    // A reading beyond 2^50 bytes is as good as a failed one, wherever it comes.
    auto tooBigAt = [this](std::size_t i) {
        std::vector<sim::MemoryStatus> r(10, reading(1000 * kMiB));
        r[i] = reading(memory::kMaxReadingBytes + 1);
        machine.scriptMemoryStatus(r);
    };
    tooBigAt(3);
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), -2.0);
    tooBigAt(9);
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), -4.0);
    scriptBeforeAfter(1000, 1000);
    machine.failOp(Op::GlobalMemoryStatus, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), -2.0);
    machine.setHook(Op::NtSetSystemInformation,
                    [this] { machine.failOp(Op::GlobalMemoryStatus, win::ERROR_ACCESS_DENIED, 1); });
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), -4.0);
    EXPECT_EQ(changed(kPurge), 2u);  // only after a first measurement
    EXPECT_TRUE(isZero(get_memory_stats()));
}

TEST_F(ExtremeCleanTest, FailedPurgesCountOnlyAtHeavyLoad) {
    machine.failOp(Op::NtSetSystemInformation, static_cast<std::uint32_t>(win::STATUS_ACCESS_DENIED));
    scriptBeforeAfter(1000, 1100);
    // One failed purge at light load is not reported: the cleaning goes on.
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), 100.0);
    // Two failed purges at heavy load are.
    EXPECT_EQ(extreme_memory_clean(0, 99.0, nullptr), -3.0);
    // One of the two going through is enough.
    machine.failOp(Op::NtSetSystemInformation, static_cast<std::uint32_t>(win::STATUS_ACCESS_DENIED), 1);
    scriptBeforeAfter(1000, 1100);
    EXPECT_EQ(extreme_memory_clean(0, 100.0, nullptr), 100.0);
    EXPECT_EQ(get_memory_stats().calls, 2u);
}

// Without the privilege or the routine no purge can be had: the heavy-load cleaning, the
// trim and the self test fail, and the light-load cleaning goes on without one.
TEST_F(ExtremeCleanTest, WithoutThePrivilegeOrRoutineNothingIsPurged) {
    const std::function<void(sim::SimMachine&)> cases[] = {
        [](sim::SimMachine& m) { m.denyPrivilege("SeProfileSingleProcessPrivilege"); },
        [](sim::SimMachine& m) { m.notAllAssigned("SeProfileSingleProcessPrivilege"); },
        [](sim::SimMachine& m) { m.failOp(Op::OpenProcessToken, win::ERROR_ACCESS_DENIED); },
        [](sim::SimMachine& m) { m.failOp(Op::AdjustTokenPrivilege, win::ERROR_ACCESS_DENIED); },
        [](sim::SimMachine& m) { m.hideRoutine(platform::Routine::NtSetSystemInformation); },
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        sim::SimMachine m;
        sim::ScopedMachine scope(m);
        memory::memoryRelief().resetForTests();
        cases[i](m);
        EXPECT_EQ(extreme_memory_clean(0, 96.0, nullptr), -3.0) << i;
        EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), 0.0) << i;
        EXPECT_EQ(trim_process_working_set(0), -3.0) << i;
        EXPECT_EQ(self_test(), 0) << i;
        EXPECT_EQ(m.openHandleCount(), 0u) << i;
    }
}

TEST_F(ExtremeCleanTest, PrivilegeAndRoutineAreSetUpOnce) {
    // A failure on the first call is kept, though the privilege could be had later...
    machine.failOp(Op::AdjustTokenPrivilege, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(extreme_memory_clean(0, 96.0, nullptr), -3.0);
    EXPECT_EQ(extreme_memory_clean(0, 96.0, nullptr), -3.0);
    EXPECT_TRUE(machine.changes().empty());
    // ...and so is a success.
    memory::memoryRelief().resetForTests();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(extreme_memory_clean(0, 96.0, nullptr), 0.0);
    EXPECT_EQ(changed(kPrivilegeOn), 1u);
    EXPECT_EQ(changed(kPurge), 6u);
}

TEST(AmountFreed, MiBAndOutOfRange) {
    using memory::amountFreedMb;
    EXPECT_EQ(amountFreedMb(0, 3 * kMiB / 2), 1.5);
    EXPECT_EQ(amountFreedMb(5 * kMiB, 5 * kMiB), 0.0);
    EXPECT_EQ(amountFreedMb(5 * kMiB, 4 * kMiB), 0.0);
    EXPECT_EQ(amountFreedMb(0, memory::kMaxReadingBytes), 1024.0 * 1024.0 * 1024.0);
    // Unreachable through a measurement (each reading is capped), kept as a guard.
    EXPECT_EQ(amountFreedMb(0, memory::kMaxReadingBytes + 1), -1.0);
}

}  // namespace
}  // namespace zk::test
