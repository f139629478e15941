// The statistics, the self test, the do-nothing exports and concurrent cleanings.

#include <gtest/gtest.h>

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

TEST_F(MemoryStatsTest, BothCleaningsAccumulateUntilReset) {
    machine.addProcess(600, 4, "svchost.exe");
    scriptBeforeAfter(1000, 1100);
    EXPECT_EQ(extreme_memory_clean(1, 90.0, nullptr), 100.0);
    scriptBeforeAfter(1000, 1050);
    EXPECT_EQ(trim_process_working_set(0), 50.0);
    EXPECT_EQ(trim_process_working_set(600), -1.0);
    const MemoryStats s = get_memory_stats();
    EXPECT_EQ(s.calls, 3u);
    EXPECT_EQ(s.totalFreedMb, 150.0);
    EXPECT_EQ(s.lastCode, 2);
    for (int c = 0; c < 100; ++c) EXPECT_EQ(s.codeCounts[c], c == 0 ? 2 : c == 2 ? 1 : 0) << c;
    reset_memory_stats();
    EXPECT_TRUE(isZero(get_memory_stats()));
}

// The self test's privilege and routine failures are with the cleanings' (memory_clean_test).
TEST_F(MemoryStatsTest, SelfTestMeasuresAndPurgesOnceAndRecordsNothing) {
    machine.failOp(Op::GlobalMemoryStatus, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(self_test(), 0);
    machine.failOp(Op::NtSetSystemInformation, static_cast<std::uint32_t>(win::STATUS_ACCESS_DENIED), 1);
    EXPECT_EQ(self_test(), 0);
    EXPECT_EQ(self_test(), 1);
    EXPECT_EQ(changed(kPurge), 1u);
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
    EXPECT_EQ(changed(kPrivilegeOn), 1u);
    EXPECT_EQ(changed(kPurge), 50u + 100u);
}

}  // namespace
}  // namespace zk::test
