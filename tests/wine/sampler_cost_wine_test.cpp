// The real DLL's sampler on a real system: what it can tell apart (the risk on a quiet
// machine and on a saturated one), and what a sample costs there (its mean beside a bare
// Sleep(1) loop's with more processes running: a figure, not a gate).

#include <cstdio>
#include <vector>

#include "wine_support.h"

namespace {

using Helpers = std::vector<std::unique_ptr<zkw::Child>>;

void startHelpers(Helpers& into, int count, const wchar_t* prefix, const wchar_t* mode) {
    for (int i = 0; i < count; ++i) {
        into.push_back(zkw::startHelper(std::wstring(prefix) + std::to_wstring(i) + L".exe", mode));
        ASSERT_TRUE(into.back()) << "could not start a helper";
    }
}

// The mean interval of a bare 1 ms sleep loop, in milliseconds.
double bareSleepLoopMs(int iterations) {
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    for (int i = 0; i < iterations; ++i) Sleep(1);
    QueryPerformanceCounter(&b);
    return static_cast<double>(b.QuadPart - a.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart) / iterations;
}

// The sampler's metrics after it has run `ms` at the default configuration.
QtmMetrics sampleFor(DWORD ms) {
    auto start = ZK_LOAD(QTM_Start);
    auto stop = ZK_LOAD(QTM_Stop);
    auto reset = ZK_LOAD(QTM_ResetMetrics);
    auto getMetrics = ZK_LOAD(QTM_GetMetrics);
    QtmMetrics m{};
    if (!(start && stop && reset && getMetrics)) return m;
    reset();
    start();
    Sleep(ms);
    getMetrics(&m);
    stop();
    return m;
}

TEST(SamplerCostUnderWine, RiskTellsAQuietMachineFromASaturatedOne) {
    Helpers helpers;
    startHelpers(helpers, 10, L"idle", L"sleep");
    const double bare = bareSleepLoopMs(2000);
    const QtmMetrics quiet = sampleFor(4000);
    startHelpers(helpers, 4, L"spin", L"spin");
    const QtmMetrics saturated = sampleFor(4000);
    std::printf("[ figures  ] with 10 more processes: bare Sleep(1) loop %.3f ms, mean sample %.3f ms (%.2fx); "
                "risk %.3f (p99 %.2f ms) quiet, %.3f (p99 %.2f ms) with four spinning processes\n",
                bare, quiet.meanMs, quiet.meanMs / bare, quiet.risk, quiet.p99Ms, saturated.risk, saturated.p99Ms);
    EXPECT_GE(quiet.meanMs, 0.9) << "a 1 ms sleep cannot take less";
    EXPECT_GT(saturated.risk, quiet.risk);
}

}  // namespace
