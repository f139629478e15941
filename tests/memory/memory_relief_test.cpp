// Memory relief: extreme_memory_clean (the load gate, the purges, the pacing and every
// result), trim_process_working_set (who is excluded, and the cleaning for everyone else),
// the statistics, the self test and the do-nothing exports.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "memory/available_memory.h"
#include "platform/privilege.h"
#include "memory/trim_exclusions.h"
#include "memory_fixture.h"

namespace zk::test {
namespace {

using sim::Op;
using Strings = std::vector<std::string>;
using Times = std::vector<std::uint64_t>;

class ReliefTest : public MemoryTest {};

TEST_F(ReliefTest, BelowTheThresholdAndInTheDoNothingExportsNothingHappens) {
    scriptBeforeAfter(1000, 3000);
    for (double load : {74.9, 0.0, -5.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(extreme_memory_clean(1234, load, nullptr), 0.0) << load;
    ram_overseer_step();  // the two do-nothing exports
    clear_rights_cache();
    EXPECT_EQ(machine.nowNs(), 0u);  // not even measured
    EXPECT_TRUE(machine.changes().empty());
    EXPECT_TRUE(isZero(get_memory_stats()));
}

TEST_F(ReliefTest, AtTheThresholdOnePurgeAndTheAmountFreed) {
    scriptBeforeAfter(1000, 1512);
    EXPECT_EQ(extreme_memory_clean(1234, 75.0, u"HARDQ"), 512.0);
    EXPECT_EQ(machine.changes(), (Strings{kPrivilegeOn, kPurge}));
}

TEST_F(ReliefTest, PacingAtLightAndHeavyLoad) {
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

TEST_F(ReliefTest, MovingReadingsWaitLongerAndTheMedianCounts) {
    // A reading equal to the one before it is followed by 10 ms, any other by 50 ms.
    scriptMb({900, 900, 700, 700, 800, 2000});
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), 2000.0 - 800.0);
    const Times at = readingsAt();
    EXPECT_EQ(Times(at.begin(), at.begin() + 5), (Times{0, 50, 60, 110, 120}));
    // Unsorted readings: the third smallest, not the third read.
    scriptMb({500, 100, 400, 200, 300, 1000});
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), 700.0);
}

TEST_F(ReliefTest, FailedMeasurementsAreResultsAndNotRecorded) {
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

TEST_F(ReliefTest, FailedPurgesCountOnlyAtHeavyLoad) {
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
TEST_F(ReliefTest, WithoutThePrivilegeOrRoutineNothingIsPurged) {
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

TEST_F(ReliefTest, PrivilegeAndRoutineAreSetUpOnce) {
    // A failure on the first call is kept, though the privilege could be had later...
    machine.failOp(Op::AdjustTokenPrivilege, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(extreme_memory_clean(0, 96.0, nullptr), -3.0);
    EXPECT_EQ(extreme_memory_clean(0, 96.0, nullptr), -3.0);
    EXPECT_TRUE(machine.changes().empty());
    // ...even once another module has enabled it (a success is kept too: see the concurrent cleanings).
    ASSERT_TRUE(platform::enablePrivilege("SeProfileSingleProcessPrivilege").enabled());
    EXPECT_EQ(extreme_memory_clean(0, 96.0, nullptr), -3.0);
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

TEST_F(ReliefTest, BothCleaningsAccumulateUntilReset) {
    machine.addProcess(600, 4, "svchost.exe");
    scriptBeforeAfter(1000, 1100);
    EXPECT_EQ(extreme_memory_clean(1, 90.0, nullptr), 100.0);
    scriptBeforeAfter(1000, 1050);
    EXPECT_EQ(trim_process_working_set(0), 50.0);
    EXPECT_EQ(trim_process_working_set(600), -1.0);
    scriptBeforeAfter(3000, 1000);  // less memory afterwards: nothing freed, but a cleaning
    EXPECT_EQ(extreme_memory_clean(0, 80.0, nullptr), 0.0);
    const MemoryStats s = get_memory_stats();
    EXPECT_EQ(s.calls, 4u);
    EXPECT_EQ(s.totalFreedMb, 150.0);
    EXPECT_EQ(s.lastCode, 0);
    for (int c = 0; c < 100; ++c) EXPECT_EQ(s.codeCounts[c], c == 0 ? 3 : c == 2 ? 1 : 0) << c;
    reset_memory_stats();
    EXPECT_TRUE(isZero(get_memory_stats()));
}

// The self test's privilege and routine failures are with the cleanings' above.
TEST_F(ReliefTest, SelfTestMeasuresAndPurgesOnceAndRecordsNothing) {
    machine.failOp(Op::GlobalMemoryStatus, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(self_test(), 0);
    machine.failOp(Op::NtSetSystemInformation, static_cast<std::uint32_t>(win::STATUS_ACCESS_DENIED), 1);
    EXPECT_EQ(self_test(), 0);
    EXPECT_EQ(self_test(), 1);
    EXPECT_EQ(changed(kPurge), 1u);
    EXPECT_TRUE(isZero(get_memory_stats()));
}

TEST_F(ReliefTest, ConcurrentCleaningsAreAllCountedAndSetUpOnce) {
    scriptBeforeAfter(1000, 1000);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 25; ++i) {
                if (t % 2)
                    extreme_memory_clean(0, 97.0, nullptr);
                else
                    trim_process_working_set(0);
            }
        });
    for (auto& th : threads) th.join();
    const MemoryStats s = get_memory_stats();
    EXPECT_EQ(s.calls, 100u);
    EXPECT_EQ(s.codeCounts[0], 100);
    EXPECT_EQ(changed(kPrivilegeOn), 1u);
    EXPECT_EQ(changed(kPurge), 50u + 100u);
}


class TrimTest : public MemoryTest {
protected:
    std::uint32_t addImage(std::uint32_t pid, std::u16string path) {
        machine.addProcess(pid, 4, u"x.exe").imagePath = std::move(path);
        return pid;
    }
};

TEST_F(TrimTest, ExcludedByNameOrPatternWhateverTheCaseOrFolder) {
    std::uint32_t pid = 500;
    const std::u16string deep = u"D:\\" + std::u16string(300, u'g') + u"\\Steam.exe";  // past 260 characters
    for (const char16_t* path : {u"C:\\Windows\\System32\\SVCHOST.EXE", u"C:/Program Files/Steam/steamwebhelper.exe",
                                 u"C:\\odd\\" /* no name at all */, u"D:\\FACEIT\\faceit_client.exe",
                                 u"C:\\x\\BEService_BattlEye.exe", deep.c_str()}) {
        EXPECT_EQ(trim_process_working_set(addImage(pid, path)), -1.0) << pid;
        EXPECT_EQ(get_memory_stats().lastCode, 2);
        ++pid;
    }
    const MemoryStats s = get_memory_stats();
    EXPECT_EQ(s.calls, 6u);
    EXPECT_EQ(s.codeCounts[2], 6);
    EXPECT_EQ(s.totalFreedMb, 0.0);
    // Nothing was measured or purged, and nothing opened beyond the name query.
    EXPECT_EQ(machine.nowNs(), 0u);
    EXPECT_TRUE(machine.changes().empty());
    for (const auto& o : machine.opens()) EXPECT_EQ(o.access, win::PROCESS_QUERY_LIMITED_INFORMATION);
}

TEST(TrimExclusions, WholeNamesMatchExactlyPatternsAnywhere) {
    using memory::isExcludedName;
    for (std::u16string_view n : {u"explorer.exe", u"audiodg.exe", u"nvcontainer.exe", u"icue.exe", u"vgk",
                                  u"x-vgk-y", u"bedaisy.sys", u""})
        EXPECT_TRUE(isExcludedName(n)) << std::string(n.begin(), n.end());
    // A pattern longer than the name never matches; whole names need the whole name.
    for (std::u16string_view n : {u"explorer", u"svchost.exe.bak", u"xdwm.exe", u"vg", u"game.exe", u"steam"})
        EXPECT_FALSE(isExcludedName(n)) << std::string(n.begin(), n.end());
}

TEST_F(TrimTest, OtherProcessesAreCleaned) {
    addImage(520, u"C:\\Games\\mysteam.exe");  // close to a name, not equal
    scriptBeforeAfter(1000, 1250);
    EXPECT_EQ(trim_process_working_set(520), 250.0);
    EXPECT_EQ(machine.changes(), (std::vector<std::string>{kPrivilegeOn, kPurge}));
    // Five readings, the purge, 100 ms, five readings.
    EXPECT_EQ(readingsAt(), (Times{0, 50, 60, 70, 80, 180, 230, 240, 250, 260}));
    EXPECT_EQ(purgesAt(), (Times{80}));
}

TEST_F(TrimTest, UnreadableNamesAreNotExcluded) {
    // Unknown pid (also a process gone), pid 0 and a host's negative pid, a process that
    // refuses the query, one whose image name cannot be read: all cleaned.
    addImage(530, u"C:\\Windows\\lsass.exe");
    machine.process(530)->deniedAccess = win::PROCESS_QUERY_LIMITED_INFORMATION;
    addImage(531, u"C:\\Windows\\csrss.exe");
    machine.failOp(Op::QueryFullProcessImageName, win::ERROR_ACCESS_DENIED);
    for (std::uint32_t pid : {9999u, 0u, static_cast<std::uint32_t>(-1), 530u, 531u})
        EXPECT_EQ(trim_process_working_set(pid), 0.0) << pid;
    EXPECT_EQ(get_memory_stats().codeCounts[0], 5);
    for (const auto& o : machine.opens()) EXPECT_NE(o.pid, 0u);  // pid 0 is never looked up
}

TEST_F(TrimTest, FailuresAreResultsAndNotRecorded) {
    machine.failOp(Op::GlobalMemoryStatus, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(trim_process_working_set(0), -2.0);
    // Unlike the load-gated cleaning, one failed purge is a failure here.
    machine.failOp(Op::NtSetSystemInformation, static_cast<std::uint32_t>(win::STATUS_PRIVILEGE_NOT_HELD), 1);
    EXPECT_EQ(trim_process_working_set(0), -3.0);
    EXPECT_TRUE(isZero(get_memory_stats()));
}

}  // namespace
}  // namespace zk::test
