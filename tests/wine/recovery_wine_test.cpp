// The stutter entry point and the recovery settings in the real DLL.

#include <string>
#include <vector>

#include "wine_support.h"
#include "zelkor.h"

namespace {

using StutterRootCauseFn = int32_t(ZK_CALL*)(uint32_t, double, double, double, double, double, double, double,
                                             PfRootCause*, uint32_t*);
using VoidFn = void(ZK_CALL*)();
using IntFn = int(ZK_CALL*)();
using SetConfigFn = void(ZK_CALL*)(QtmConfig*);
using SetRecoveryConfigFn = void(ZK_CALL*)(const QtmRecoveryConfig*);
using GetRecoveryMetricsFn = void(ZK_CALL*)(QtmRecoveryMetrics*);
using SetStutterLogFn = void(ZK_CALL*)(QtmStutterLogCallback);
using SetLevelFn = void(ZK_CALL*)(int32_t);
using SetPfLogFn = void(ZK_CALL*)(PfLogCallback);

std::vector<std::string> g_profilerLines;
void ZK_CALL profilerLog(const char* line) { g_profilerLines.emplace_back(line); }
std::vector<std::string> g_recoveryLines;
void ZK_CALL recoveryLog(const char* line) { g_recoveryLines.emplace_back(line); }

TEST(RecoveryUnderWine, ExportsAndBadInput) {
    for (const char* name : {"QTM_SetRecoveryConfig", "QTM_GetRecoveryMetrics", "QTM_Stutter_SetLogCallback",
                             "QTM_Stutter_SetMinLogLevel", "QTM_GetStutterRootCause"})
        EXPECT_NE(GetProcAddress(zkw::zelkor(), name), nullptr) << name;
    auto rootCause = zkw::fn<StutterRootCauseFn>("QTM_GetStutterRootCause");
    auto reset = zkw::fn<VoidFn>("QTM_ResetMetrics");
    ASSERT_TRUE(rootCause && reset);

    zkw::fn<SetRecoveryConfigFn>("QTM_SetRecoveryConfig")(nullptr);
    zkw::fn<GetRecoveryMetricsFn>("QTM_GetRecoveryMetrics")(nullptr);
    // The counters are process-wide and never reset: other tests may have counted.
    QtmRecoveryMetrics m{};
    m.hardRecoveries = ~0ull;
    zkw::fn<GetRecoveryMetricsFn>("QTM_GetRecoveryMetrics")(&m);
    EXPECT_LT(m.hardRecoveries, 1000u);

    uint32_t rec = 9;
    PfRootCause out{};
    EXPECT_EQ(rootCause(GetCurrentProcessId(), 0.5, 2.0, 50, 50, 0, 0, 1, nullptr, &rec), -1);
    EXPECT_EQ(rec, 0u);
    reset();  // nothing analysed: no metrics yet
    rec = 9;
    EXPECT_EQ(rootCause(GetCurrentProcessId(), 0.5, 2.0, 50, 50, 0, 0, 1, &out, &rec), -2);
    EXPECT_EQ(rec, 0u);
    EXPECT_EQ(rootCause(0, 0.5, 2.0, 50, 50, 0, 0, 1, &out, nullptr), -2);
}

TEST(RecoveryUnderWine, PublishedMetricsReachTheProfiler) {
    auto rootCause = zkw::fn<StutterRootCauseFn>("QTM_GetStutterRootCause");
    auto start = zkw::fn<IntFn>("QTM_Start");
    auto stop = zkw::fn<VoidFn>("QTM_Stop");
    auto setConfig = zkw::fn<SetConfigFn>("QTM_SetConfig");
    ASSERT_TRUE(rootCause && start && stop && setConfig);
    zkw::fn<SetPfLogFn>("PF_SetLogCallback")(profilerLog);
    zkw::fn<SetStutterLogFn>("QTM_Stutter_SetLogCallback")(recoveryLog);
    zkw::fn<SetLevelFn>("QTM_Stutter_SetMinLogLevel")(0);
    zkw::fn<VoidFn>("PF_Reset")();
    g_profilerLines.clear();
    g_recoveryLines.clear();

    // Samples 5 ms apart: every p99 is at least 5 ms, a stutter by the p99 threshold.
    QtmConfig cfg{5000, 20, 0.25, 3.0, 2.5, 0.85};
    setConfig(&cfg);
    ASSERT_EQ(start(), 1);

    // A walk another test ran may hold the profiler's 10 s limit: retry for up to 15 s.
    const std::string scanning = "[Profiler] Stutter detected \xE2\x86\x92 scanning\xE2\x80\xA6";
    PfRootCause out{};
    uint32_t rec = 9;
    int32_t r = -2;
    bool walked = false;
    for (int i = 0; i < 300 && !walked; ++i) {
        Sleep(50);
        r = rootCause(GetCurrentProcessId(), 0.99, 2.0, 50, 50, 0, 0, 1, &out, &rec);
        for (const auto& l : g_profilerLines) walked = walked || l == scanning;
    }
    stop();
    QtmConfig defaults{1000, 200, 0.25, 3.0, 2.5, 0.85};
    setConfig(&defaults);
    zkw::fn<SetPfLogFn>("PF_SetLogCallback")(nullptr);
    zkw::fn<SetStutterLogFn>("QTM_Stutter_SetLogCallback")(nullptr);
    zkw::fn<SetLevelFn>("QTM_Stutter_SetMinLogLevel")(1);

    EXPECT_TRUE(walked) << "the profiler never walked; last result " << r;
    // On its first sight of the processes only working sets count, and none is near 2000 MB.
    EXPECT_EQ(r, 0);
    EXPECT_EQ(rec, 0u);
    EXPECT_TRUE(g_recoveryLines.empty());
}

}  // namespace
