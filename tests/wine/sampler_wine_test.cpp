// The real DLL loads by name, and its sampling worker times real sleeps.

#include "wine_support.h"

namespace {

TEST(SamplerUnderWine, TheDllLoadsAndItsWorkerTimesRealSleeps) {
    ASSERT_NE(zkdll::library(), nullptr) << "LoadLibraryW(Zelkor.dll) failed: error " << zkdll::loadError();
    auto start = ZK_LOAD(QTM_Start);
    auto stop = ZK_LOAD(QTM_Stop);
    auto getMetrics = ZK_LOAD(QTM_GetMetrics);
    ASSERT_TRUE(start && stop && getMetrics);

    ASSERT_EQ(start(), 1);
    QtmMetrics m{};
    for (int i = 0; i < 100 && m.meanMs == 0.0; ++i) {  // ten 1 ms ticks; poll up to 5 s
        Sleep(50);
        getMetrics(&m);
    }
    stop();
    getMetrics(&m);  // the last tick may have published after the poll
    EXPECT_GE(m.meanMs, 0.9) << "a 1 ms sleep cannot take less";
    EXPECT_GE(m.p99Ms, m.p1Ms);
    EXPECT_GE(m.risk, 0.0);
    EXPECT_LE(m.risk, 1.0);
}

}  // namespace
