// The sampling engine in the real DLL.

#include <cstring>

#include "wine_support.h"
#include "zelkor.h"

namespace {

using StartFn = int(ZK_CALL*)();
using VoidFn = void(ZK_CALL*)();
using GetMetricsFn = void(ZK_CALL*)(QtmMetrics*);
using ConfigFn = void(ZK_CALL*)(QtmConfig*);
using RiskFn = double(ZK_CALL*)();

TEST(SamplerUnderWine, DllLoadsAndExportsTheSamplingFunctions) {
    ASSERT_NE(zkw::zelkor(), nullptr) << "LoadLibraryW(Zelkor.dll) failed: " << GetLastError();
    for (const char* name : {"QTM_Start", "QTM_Stop", "QTM_GetConfig", "QTM_SetConfig", "QTM_GetMetrics",
                             "QTM_GetStutterRisk", "QTM_ResetMetrics", "QTM_SetLogCallback"})
        EXPECT_NE(GetProcAddress(zkw::zelkor(), name), nullptr) << name;
}

TEST(SamplerUnderWine, StartPublishesMetricsStopAndReset) {
    auto start = zkw::fn<StartFn>("QTM_Start");
    auto stop = zkw::fn<VoidFn>("QTM_Stop");
    auto reset = zkw::fn<VoidFn>("QTM_ResetMetrics");
    auto getMetrics = zkw::fn<GetMetricsFn>("QTM_GetMetrics");
    auto getConfig = zkw::fn<ConfigFn>("QTM_GetConfig");
    auto risk = zkw::fn<RiskFn>("QTM_GetStutterRisk");
    ASSERT_TRUE(start && stop && reset && getMetrics && getConfig && risk);

    QtmConfig cfg{};
    getConfig(&cfg);
    EXPECT_EQ(cfg.sampleIntervalUs, 1000);

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
    EXPECT_DOUBLE_EQ(risk(), m.risk);

    reset();
    QtmMetrics zero{}, after{};
    getMetrics(&after);
    EXPECT_EQ(0, std::memcmp(&after, &zero, sizeof after));
}

}  // namespace
