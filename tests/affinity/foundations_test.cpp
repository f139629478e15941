// The module's foundations: its log channel, pin sets, descendants and protected names,
// the rate limits of every layout export, the configuration record, the metrics and the
// security event store.

#include <cstring>
#include <functional>

#include "affinity/affinity_log.h"
#include "affinity/affinity_module.h"
#include "affinity/process_utils.h"
#include "affinity/security_events.h"
#include "affinity_fixture.h"

namespace zk::test {
namespace {

using affinity::CoreList;

class AffinityFoundations : public AffinityTest {};

TEST_F(AffinityFoundations, OneLineWholeToEverySink) {
    Zelkor_Affinity_DiagnoseStatus();
    const std::string line =
        "[ZELKOR.AFFINITY] [2026-12-06 12:01:00] [INFO] === AFFINITY DIAGNOSTIC ===\nusing_inverse=false\n"
        "inverse_target_pid=0\ninverse_cores=\n============================\n";
    ASSERT_EQ(raw(), (Lines{line}));
    EXPECT_EQ(machine.debugOutput(), (Lines{line}));
    EXPECT_EQ(machine.stdErr(), line);
}

TEST_F(AffinityFoundations, MinimumLevelIsClampedAndOtherLevelsAreInfo) {
    struct Case {
        int minLevel;
        Lines seen;
    };
    const Case cases[] = {
        {-5, {"[DEBUG] d", "[INFO] i", "[WARNING] w", "[ERROR] e", "[INFO] other"}},
        {2, {"[WARNING] w", "[ERROR] e", "[INFO] other"}},  // an unknown level passes as itself
        {9, {"[ERROR] e", "[INFO] other"}},
    };
    for (const Case& c : cases) {
        listen();
        Zelkor_Affinity_SetMinLogLevel(c.minLevel);
        Zelkor_Affinity_DiagnoseStatus();  // at the information level
        EXPECT_EQ(lines().size(), c.minLevel < 2 ? 1u : 0u) << c.minLevel;
        listen();
        for (int level = 0; level < 4; ++level) affinity::AffinityLog(level, std::string(1, "diwe"[level]));
        affinity::AffinityLog(7, "other");
        EXPECT_EQ(lines(), c.seen) << c.minLevel;
    }
}

TEST_F(AffinityFoundations, PinSetsByCoreCount) {
    struct Case {
        std::int32_t cores;
        CoreList pins;
        Lines line;
    };
    const Case cases[] = {
        {0, {}, {}},
        {1, {0}, {"[INFO] [InverseAffinity] Background pin set => {0}"}},
        {2, {0, 1}, {"[INFO] [InverseAffinity] Background pin set (fallback) => {0,last}"}},
        {3, {0, 2}, {"[INFO] [InverseAffinity] Background pin set (fallback) => {0,last}"}},
        {4, {0, 3}, {"[INFO] [InverseAffinity] Background pin set (4-8 cores) => {0,3}"}},
        {8, {0, 3}, {"[INFO] [InverseAffinity] Background pin set (4-8 cores) => {0,3}"}},
        {9, {0, 3}, {"[INFO] [InverseAffinity] Background pin set (fallback) => {0,3}"}},
    };
    for (const Case& c : cases) {
        listen();
        EXPECT_EQ(affinity::BuildBackgroundPinSet(c.cores), c.pins) << c.cores;
        EXPECT_EQ(lines(), c.line) << c.cores;
    }
}

TEST_F(AffinityFoundations, DescendantsUpToTwentyGenerations) {
    affinity::ParentMap parents{{7, 7}, {4, 0}, {9, 1}, {1, 1000}};  // the System process's parent is pid 0
    for (std::uint32_t pid = 1000; pid < 1030; ++pid) parents[pid + 1] = pid;  // 1030 descends from 1000
    struct Case {
        std::uint32_t pid, ancestor;
        bool descendant;
    };
    const Case cases[] = {
        {1001, 1000, true},  {1002, 1000, true},  {1020, 1000, true}, {1021, 1000, false},
        {1025, 1000, false}, {7, 1, false},      {0, 1000, false},
        {1001, 0, false},    {4, 0, false},       {5555, 1000, false}, {9, 1000, true}, {9, 1, true},
        {1, 1000, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(affinity::IsDescendantBounded(c.pid, c.ancestor, parents), c.descendant) << c.pid << "<-" << c.ancestor;
    // And over the machine's own process list.
    const affinity::ParentMap machineParents = affinity::BuildParentMap();
    EXPECT_TRUE(affinity::IsDescendantBounded(kGrandchild, kGame, machineParents));
    EXPECT_FALSE(affinity::IsDescendantBounded(kChrome, kGame, machineParents));
    EXPECT_TRUE(affinity::ProcessExists(kChrome));
    EXPECT_FALSE(affinity::ProcessExists(4242));
}

TEST_F(AffinityFoundations, ProtectedNamesWholeAndCaseInsensitive) {
    for (const char* name : {"Explorer.EXE", "CSRSS.exe", "dwm.exe", "svchost.exe", "ZELKOR.EXE",
                             "zelkor_performance_engine.exe", "ZelkorPerformanceEngine.exe", "winlogon.exe"})
        EXPECT_TRUE(affinity::IsProtectedProcessName(name)) << name;
    for (const char* name : {"explorer", "explorer.exe ", "xexplorer.exe", "chrome.exe", ""})
        EXPECT_FALSE(affinity::IsProtectedProcessName(name)) << name;
}

// Each export's limiter, with its own name, interval and refusal result.
TEST_F(AffinityFoundations, RateLimitsPerOperation) {
    const double sample = 50.0;
    struct Case {
        const char* what;
        std::function<std::int32_t()> call;
        std::function<void(AffinityConfig&)> config;
        std::uint64_t gapMs;
        bool refused;
        std::string detail;
        std::uint32_t eventPid;
        const char* eventName;
        std::int32_t refusedResult;
        std::string line = {};  // the export's own refusal line, if any
    };
    const auto boost = [] { return Zelkor_Affinity_ApplyBoostForPid(kGame); };
    const auto inverse = [] { return Zelkor_Affinity_ApplyInverseForPid(kGame); };
    const auto keep = [](AffinityConfig&) {};
    const Case cases[] = {
        {"inverse 50 ms", inverse, keep, 50, true, "Rate limit: 100 ms", kGame, "ApplyInverseForPid", 0},
        {"inverse 100 ms", inverse, keep, 100, false, "", 0, "", 0},
        {"boost 500 ms at 100", boost, [](AffinityConfig& c) { c.rate_limit_ms = 100; }, 500, true,
         "Rate limit: 1000 ms", kGame, "ApplyBoostForPid", 0, "[DEBUG] [RateLimit] ApplyBoostForPid called too frequently"},
        {"boost 1500 ms at 2000", boost, [](AffinityConfig& c) { c.rate_limit_ms = 2000; }, 1500, true,
         "Rate limit: 2000 ms", kGame, "ApplyBoostForPid", 0, "[DEBUG] [RateLimit] ApplyBoostForPid called too frequently"},
        {"inverse 99 ms at -5", inverse, [](AffinityConfig& c) { c.rate_limit_ms = -5; }, 99, true,
         "Rate limit: 100 ms", kGame, "ApplyInverseForPid", 0},
        {"inverse limiter off", inverse, [](AffinityConfig& c) { c.rate_limit_enabled = 0; }, 0, false, "", 0, "", 0},
        {"offender", [] { return Zelkor_Affinity_ApplyInverseForOffenderPid(kHog); }, keep, 10, true,
         "Rate limit: 100 ms", kHog, "ApplyInverseForOffenderPid", 0},
        {"dynamic step", [&] { return Zelkor_Affinity_DynamicStepForPid(kGame, &sample, 1); }, keep, 10, true,
         "Rate limit: 100 ms", kGame, "DynamicStepForPid", 0, "[DEBUG] [RateLimit] DynamicStepForPid skipped (too frequent)"},
        {"refresh", [] { return Zelkor_Affinity_RefreshInverse(); }, keep, 10, true, "Rate limit: 100 ms", 0,
         "RefreshInverse", 1},
    };
    for (const Case& c : cases) {
        Zelkor_Affinity_Cleanup();  // empties the limiter
        Zelkor_Affinity_ClearSecurityEvents();
        configure([&](AffinityConfig& cfg) {
            cfg = AffinityConfig{30, 0, 250, 0, 300, 5000, 1, 100};  // no signature events
            c.config(cfg);
        });
        c.call();
        machine.advanceMs(c.gapMs);
        listen();
        const std::int32_t result = c.call();
        const auto ev = events();
        if (!c.refused) {
            EXPECT_TRUE(ev.empty()) << c.what;
            continue;
        }
        EXPECT_EQ(result, c.refusedResult) << c.what;
        ASSERT_EQ(ev.size(), 1u) << c.what;
        EXPECT_EQ(ev[0].kind, 2u) << c.what;
        EXPECT_EQ(ev[0].pid, c.eventPid) << c.what;
        EXPECT_STREQ(ev[0].name, c.eventName) << c.what;
        EXPECT_EQ(ev[0].detail, c.detail) << c.what;
        EXPECT_EQ(lines(), c.line.empty() ? Lines{} : Lines{c.line}) << c.what;
    }
}

TEST_F(AffinityFoundations, ARefusedCallDoesNotMoveTheWindow) {
    machine.setLogicalProcessorCount(4);  // nothing is laid out; only admission shows
    for (const std::uint64_t at : {0, 50, 50}) {
        machine.advanceMs(at);
        Zelkor_Affinity_ApplyInverseForPid(kGame);
    }
    ASSERT_EQ(events().size(), 1u) << "admitted at 0 and 100, refused at 50";
    EXPECT_EQ(logged("[INFO] [InverseAffinity] ApplyInverse skipped: CPU has 4 logical cores (no affinity on <=4 cores)."),
              2u);
}

TEST_F(AffinityFoundations, ConfigurationStoredAsGivenAndMetricsToNonNullPointers) {
    const AffinityConfig fresh = config(), defaults{30, 0, 250, 1, 300, 5000, 1, 100};
    EXPECT_EQ(std::memcmp(&fresh, &defaults, sizeof fresh), 0);
    const AffinityConfig odd{-1, 7, 1, 7, -3, 0, 7, -5};
    Zelkor_Affinity_SetConfigC(&odd);
    const AffinityConfig back = config();
    const AffinityConfig expected{-1, 1, 1, 1, -3, 0, 1, -5};
    EXPECT_EQ(std::memcmp(&back, &expected, sizeof back), 0);

    affinity::affinity().metrics.failedTotal = 3;
    std::uint64_t failed = 0;
    Zelkor_Affinity_GetMetrics(nullptr, &failed, nullptr);
    EXPECT_EQ(failed, 3u);
    Zelkor_Affinity_ResetMetrics();
    EXPECT_EQ(metrics(), Metrics{});
}

TEST_F(AffinityFoundations, EventStoreKeepsTheNewestThousandNewestFirst) {
    using affinity::SecurityEventKind;
    for (int i = 0; i < 1005; ++i)
        affinity::RecordSecurityEvent(SecurityEventKind::RateLimited, static_cast<std::uint32_t>(i), "n", "d");
    EXPECT_EQ(events().size(), 1000u);
    const auto three = events(3);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0].pid, 1004u);
    EXPECT_EQ(three[2].pid, 1002u);
    EXPECT_EQ(events(1000).back().pid, 5u);
    machine.advanceMs(1503);  // between two ticks of the system time
    affinity::RecordSecurityEvent(SecurityEventKind::RateLimited, 1, "n", "d");
    EXPECT_EQ(events(1)[0].time_ms - three[0].time_ms, 1503) << "the precise wall clock, in milliseconds";

    affinity::RecordSecurityEvent(SecurityEventKind::SignatureRejected, 9, std::string(300, 'n'), std::string(600, 'd'));
    // Written back to back, 788 bytes apart, into a buffer with no room to spare.
    std::vector<unsigned char> bytes(2 * sizeof(AffinitySecurityEventC), 0xCC);
    auto* out = reinterpret_cast<AffinitySecurityEventC*>(bytes.data());
    ASSERT_EQ(Zelkor_Affinity_GetSecurityEventsC(out, 2), 2);
    EXPECT_EQ(std::strlen(out[0].name), 259u);
    EXPECT_EQ(std::strlen(out[0].detail), 511u);
    std::uint32_t secondPid = 0;
    std::memcpy(&secondPid, bytes.data() + 788 + 4, 4);
    EXPECT_EQ(secondPid, 1u);

    Zelkor_Affinity_ClearSecurityEvents();
    EXPECT_TRUE(events().empty());
}

}  // namespace
}  // namespace zk::test
