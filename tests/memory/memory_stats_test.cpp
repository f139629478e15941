// The statistics, the self test, the do-nothing exports and concurrent cleanings.

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "memory_fixture.h"

extern "C" std::size_t zk_c_sizeof_MemoryStats(void);
extern "C" std::size_t zk_c_offsetof_MemoryStats_codeCounts(void);

namespace zk::test {
namespace {

using sim::Op;

class MemoryStatsTest : public MemoryTest {};

TEST(MemoryStatsLayout, CAndCppAgree) {
    EXPECT_EQ(zk_c_sizeof_MemoryStats(), 424u);
    EXPECT_EQ(zk_c_offsetof_MemoryStats_codeCounts(), offsetof(MemoryStats, codeCounts));
}

TEST_F(MemoryStatsTest, AccumulateAndReset) {
    machine.addProcess(600, 4, "svchost.exe");
    scriptBeforeAfter(1000, 1100);
    EXPECT_EQ(extreme_memory_clean(1, 90.0, nullptr), 100.0);
    scriptBeforeAfter(1000, 1050);
    EXPECT_EQ(trim_process_working_set(0), 50.0);
    EXPECT_EQ(trim_process_working_set(600), -1.0);
    extreme_memory_clean(1, 10.0, nullptr);  // below the threshold: not a cleaning

    MemoryStats s = get_memory_stats();
    EXPECT_EQ(s.calls, 3u);
    EXPECT_EQ(s.totalFreedMb, 150.0);
    EXPECT_EQ(s.lastCode, 2);
    EXPECT_EQ(s.codeCounts[0], 2);
    EXPECT_EQ(s.codeCounts[2], 1);
    for (int c = 3; c < 100; ++c) EXPECT_EQ(s.codeCounts[c], 0);

    reset_memory_stats();
    EXPECT_TRUE(isZero(get_memory_stats()));
}

TEST_F(MemoryStatsTest, SelfTestPurgesOnceAndRecordsNothing) {
    EXPECT_EQ(self_test(), 1);
    EXPECT_EQ(purgeCalls(), 1u);
    EXPECT_EQ(machine.callCount(Op::GlobalMemoryStatus), 5u);
    EXPECT_TRUE(isZero(get_memory_stats()));
}

TEST_F(MemoryStatsTest, SelfTestFailures) {
    const auto cases = std::vector<std::function<void(sim::SimMachine&)>>{
        [](sim::SimMachine& m) { m.notAllAssigned("SeProfileSingleProcessPrivilege"); },
        [](sim::SimMachine& m) { m.hideRoutine(platform::Routine::NtSetSystemInformation); },
        [](sim::SimMachine& m) { m.failOp(Op::GlobalMemoryStatus, win::ERROR_ACCESS_DENIED, 1); },
        [](sim::SimMachine& m) {
            m.failOp(Op::NtSetSystemInformation, static_cast<std::uint32_t>(win::STATUS_ACCESS_DENIED));
        },
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        sim::SimMachine m;
        sim::ScopedMachine scope(m);
        memory::memoryRelief().resetForTests();
        cases[i](m);
        EXPECT_EQ(self_test(), 0) << i;
        EXPECT_EQ(m.callCount(Op::NtSetSystemInformation), i == 3 ? 1u : 0u) << i;
        EXPECT_EQ(m.openHandleCount(), 0u) << i;
    }
}

TEST_F(MemoryStatsTest, DoNothingExportsTouchNothing) {
    ram_overseer_step();
    clear_rights_cache();
    EXPECT_EQ(machine.totalCalls(), 0u);
    EXPECT_TRUE(isZero(get_memory_stats()));
}

TEST_F(MemoryStatsTest, ConcurrentCleaningsAreAllCountedAndSetUpOnce) {
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
    EXPECT_EQ(machine.callCount(Op::AdjustTokenPrivilege), 1u);
    EXPECT_EQ(purgeCalls(), 50u + 100u);
}

}  // namespace
}  // namespace zk::test
