// The real DLL's sampler on a real system: what it costs (its mean sample beside a bare
// Sleep(1) loop's with many processes running, a figure, not a gate) and what it can tell
// apart (the risk on a quiet machine and on a saturated one).

#include <cstdio>
#include <utility>
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

// This process's CPU time so far, in milliseconds.
double cpuMs() {
    FILETIME c, e, k, u;
    GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(k) + ms(u);
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
    EXPECT_NE(zkdll::library(), nullptr) << "LoadLibraryW(Zelkor.dll) failed: error " << zkdll::loadError();
    if (!(start && stop && reset && getMetrics)) return m;
    reset();
    start();
    Sleep(ms);
    getMetrics(&m);
    stop();
    return m;
}

TEST(SamplerCostUnderWine, MeanSampleBesideABareSleepLoop) {
    // Each figure with the share of a core this process used meanwhile.
    auto measure = [](auto run) {
        const double cpu = cpuMs();
        const ULONGLONG wall = GetTickCount64();
        const double ms = run();
        return std::pair{ms, (cpuMs() - cpu) / static_cast<double>(GetTickCount64() - wall) * 100.0};
    };
    const auto alone = measure([] { return sampleFor(3000).meanMs; });
    Helpers helpers;
    startHelpers(helpers, 30, L"idle", L"sleep");
    const auto bare = measure([] { return bareSleepLoopMs(2000); });
    const auto busy = measure([] { return sampleFor(3000).meanMs; });
    std::printf("[ figures  ] bare Sleep(1) loop %.3f ms (%.1f %% of a core); sampler %.3f ms (%.1f %%) alone, "
                "%.3f ms (%.1f %%) with 30 more processes: %.2fx the loop, %+.1f %% on its own\n",
                bare.first, bare.second, alone.first, alone.second, busy.first, busy.second,
                busy.first / bare.first, (busy.first / alone.first - 1.0) * 100.0);
    RecordProperty("bare_loop_ms", std::to_string(bare.first));
    RecordProperty("sampler_ms", std::to_string(busy.first));
    EXPECT_GE(busy.first, 0.9) << "a 1 ms sleep cannot take less";
}

TEST(SamplerCostUnderWine, RiskTellsAQuietMachineFromASaturatedOne) {
    Helpers helpers;
    startHelpers(helpers, 10, L"idle", L"sleep");
    const QtmMetrics quiet = sampleFor(4000);
    startHelpers(helpers, 4, L"spin", L"spin");
    const QtmMetrics saturated = sampleFor(4000);
    std::printf("[ figures  ] risk %.3f (p99 %.2f ms) quiet, %.3f (p99 %.2f ms) with four spinning processes\n",
                quiet.risk, quiet.p99Ms, saturated.risk, saturated.p99Ms);
    EXPECT_GT(saturated.risk, quiet.risk);
}

}  // namespace
