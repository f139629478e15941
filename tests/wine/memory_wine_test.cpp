// Memory relief in the real DLL. Wine accepts the standby purge (status 0) without
// doing anything, so the amounts freed are whatever the machine did meanwhile.

#include <cstring>

#include "wine_support.h"
#include "zelkor.h"

namespace {

using CleanFn = double(ZK_CALL*)(uint32_t, double, const void*);
using TrimFn = double(ZK_CALL*)(uint32_t);
using StatsFn = MemoryStats(ZK_CALL*)();
using VoidFn = void(ZK_CALL*)();
using SelfTestFn = int(ZK_CALL*)();

double secondsSince(LARGE_INTEGER start) {
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return double(now.QuadPart - start.QuadPart) / double(freq.QuadPart);
}

class MemoryUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(clean && trim && stats && reset);
        reset();
    }
    void TearDown() override { reset(); }

    CleanFn clean = zkw::fn<CleanFn>("extreme_memory_clean");
    TrimFn trim = zkw::fn<TrimFn>("trim_process_working_set");
    StatsFn stats = zkw::fn<StatsFn>("get_memory_stats");
    VoidFn reset = zkw::fn<VoidFn>("reset_memory_stats");
};

TEST_F(MemoryUnderWine, CleaningAtLoad80IsRecordedOnce) {
    EXPECT_EQ(clean(GetCurrentProcessId(), 74.9, nullptr), 0.0);
    EXPECT_EQ(stats().calls, 0u);

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    const double freed = clean(GetCurrentProcessId(), 80.0, L"HARDQ");
    EXPECT_GE(secondsSince(start), 0.2) << "two measurements and a 75 ms pause";
    EXPECT_GE(freed, 0.0);
    const MemoryStats s = stats();
    EXPECT_EQ(s.calls, 1u);
    EXPECT_EQ(s.lastCode, 0);
    EXPECT_EQ(s.codeCounts[0], 1);
    EXPECT_DOUBLE_EQ(s.totalFreedMb, freed);

    reset();
    const MemoryStats zero{}, after = stats();
    EXPECT_EQ(0, std::memcmp(&after, &zero, sizeof after));
}

TEST_F(MemoryUnderWine, TrimRefusesExcludedNamesAndCleansForOthers) {
    auto svchost = zkw::startHelper(L"svchost.exe", L"sleep");
    auto game = zkw::startHelper(L"game.exe", L"sleep");
    ASSERT_TRUE(svchost && game);
    EXPECT_EQ(trim(svchost->pid), -1.0);
    EXPECT_GE(trim(game->pid), 0.0);
    const MemoryStats s = stats();
    EXPECT_EQ(s.calls, 2u);
    EXPECT_EQ(s.codeCounts[2], 1);
    EXPECT_EQ(s.codeCounts[0], 1);
}

TEST_F(MemoryUnderWine, SelfTestAndTheDoNothingExports) {
    auto selfTest = zkw::fn<SelfTestFn>("self_test");
    auto step = zkw::fn<VoidFn>("ram_overseer_step");
    auto clearCache = zkw::fn<VoidFn>("clear_rights_cache");
    ASSERT_TRUE(selfTest && step && clearCache);
    EXPECT_EQ(selfTest(), 1);
    step();
    clearCache();
    EXPECT_EQ(stats().calls, 0u);
}

}  // namespace
