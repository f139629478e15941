// The module's foundations: its log channel, pin sets, the processor count, descendants and
// protected names, the rate limits of every layout export, the configuration record, the
// metrics and the security event store.

#include <cstring>
#include <optional>
#include <tuple>

#include "affinity/affinity_log.h"
#include "affinity/security_events.h"
#include "affinity_fixture.h"
#include "common/reset_registry.h"

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
    const std::pair<int, Lines> cases[] = {
        {-5, {"[DEBUG] d", "[INFO] i", "[WARNING] w", "[ERROR] e", "[INFO] other"}},
        {2, {"[WARNING] w", "[ERROR] e", "[INFO] other"}},  // an unknown level passes as itself
        {9, {"[ERROR] e", "[INFO] other"}},
    };
    for (const auto& [minLevel, seen] : cases) {
        listen();
        Zelkor_Affinity_SetMinLogLevel(minLevel);
        Zelkor_Affinity_DiagnoseStatus();  // at the information level
        EXPECT_EQ(lines().size(), minLevel < 2 ? 1u : 0u) << minLevel;
        listen();
        for (int level = 0; level < 4; ++level) affinity::AffinityLog(level, std::string(1, "diwe"[level]));
        affinity::AffinityLog(7, "other");
        EXPECT_EQ(lines(), seen) << minLevel;
    }
}

TEST_F(AffinityFoundations, PinSetsByCoreCount) {
    const std::tuple<std::int32_t, CoreList, Lines> cases[] = {
        {0, {}, {}},
        {1, {0}, {"[INFO] [InverseAffinity] Background pin set => {0}"}},
        {2, {0, 1}, {"[INFO] [InverseAffinity] Background pin set (fallback) => {0,last}"}},
        {3, {0, 2}, {"[INFO] [InverseAffinity] Background pin set (fallback) => {0,last}"}},
        {4, {0, 3}, {"[INFO] [InverseAffinity] Background pin set (4-8 cores) => {0,3}"}},
        {8, {0, 3}, {"[INFO] [InverseAffinity] Background pin set (4-8 cores) => {0,3}"}},
        {9, {0, 3}, {"[INFO] [InverseAffinity] Background pin set (fallback) => {0,3}"}},
    };
    for (const auto& [cores, pins, line] : cases) {
        listen();
        EXPECT_EQ(affinity::BuildBackgroundPinSet(cores), pins) << cores;
        EXPECT_EQ(lines(), line) << cores;
    }
}

TEST_F(AffinityFoundations, DescendantsUpToTwentyGenerations) {
    affinity::ParentMap parents{{7, 7}, {4, 0}, {9, 1}, {1, 1000}};  // the System process's parent is pid 0
    for (std::uint32_t pid = 1000; pid < 1030; ++pid) parents[pid + 1] = pid;  // 1030 descends from 1000
    const struct { std::uint32_t pid, ancestor; bool descendant; } cases[] = {
        {1001, 1000, true},  {1002, 1000, true},  {1020, 1000, true}, {1021, 1000, false},
        {1025, 1000, false}, {7, 1, false},      {0, 1000, false},
        {1001, 0, false},    {4, 0, false},       {5555, 1000, false}, {9, 1000, true}, {9, 1, true},
        {1, 1000, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(affinity::IsDescendantBounded(c.pid, c.ancestor, parents), c.descendant) << c.pid << "<-" << c.ancestor;
}

TEST_F(AffinityFoundations, CoreCountReadOncePerLibraryLoadAndNeverBelowOne) {
    machine.setLogicalProcessorCount(6);
    EXPECT_EQ(affinity::LogicalCoreCount(), 6);
    machine.setLogicalProcessorCount(12);
    EXPECT_EQ(affinity::LogicalCoreCount(), 6);
    common::resetAllModules();
    EXPECT_EQ(affinity::LogicalCoreCount(), 12);
    machine.setLogicalProcessorCount(0);
    common::resetAllModules();
    EXPECT_EQ(affinity::LogicalCoreCount(), 1);
}

TEST_F(AffinityFoundations, ProtectedNamesWholeAndCaseInsensitive) {
    for (const char* name : {"Explorer.EXE", "CSRSS.exe", "dwm.exe", "svchost.exe", "ZELKOR.EXE",
                             "zelkor_performance_engine.exe", "ZelkorPerformanceEngine.exe", "winlogon.exe"})
        EXPECT_TRUE(affinity::IsProtectedProcessName(name)) << name;
    for (const char* name : {"explorer", "explorer.exe ", "xexplorer.exe", "chrome.exe", ""})
        EXPECT_FALSE(affinity::IsProtectedProcessName(name)) << name;
    const std::string_view inPath = "dwm.exe|rest";  // a name cut from a longer text ends where its view ends
    EXPECT_TRUE(affinity::IsProtectedProcessName(inPath.substr(0, 7)));
}

// Each export's limiter, with its own name, interval and refusal result: a second call
// gapMs after the first, with the limiter's interval set to limitMs (none: the limiter off).
TEST_F(AffinityFoundations, RateLimitsPerOperation) {
    const double sample = 50.0;
    struct Case {
        const char* name;
        std::function<std::int32_t()> call;
        std::optional<std::int32_t> limitMs;
        std::uint64_t gapMs;
        std::string detail;  // the refusal's event; empty: admitted
        std::uint32_t eventPid = kGame;
        std::int32_t refusedResult = 0;
        std::string line = {};  // the export's own refusal line, if any
    };
    const auto boost = [] { return Zelkor_Affinity_ApplyBoostForPid(kGame); };
    const auto inverse = [] { return Zelkor_Affinity_ApplyInverseForPid(kGame); };
    const std::string boostLine = "[DEBUG] [RateLimit] ApplyBoostForPid called too frequently";
    const Case cases[] = {
        {"ApplyInverseForPid", inverse, 100, 50, "Rate limit: 100 ms"},
        {"ApplyInverseForPid", inverse, 100, 100, ""},
        {"ApplyBoostForPid", boost, 100, 500, "Rate limit: 1000 ms", kGame, 0, boostLine},
        {"ApplyBoostForPid", boost, 2000, 1500, "Rate limit: 2000 ms", kGame, 0, boostLine},
        {"ApplyInverseForPid", inverse, -5, 99, "Rate limit: 100 ms"},
        {"ApplyInverseForPid", inverse, std::nullopt, 0, ""},
        {"ApplyInverseForOffenderPid", [] { return Zelkor_Affinity_ApplyInverseForOffenderPid(kHog); }, 100, 10,
         "Rate limit: 100 ms", kHog},
        {"DynamicStepForPid", [&] { return Zelkor_Affinity_DynamicStepForPid(kGame, &sample, 1); }, 100, 10,
         "Rate limit: 100 ms", kGame, 0, "[DEBUG] [RateLimit] DynamicStepForPid skipped (too frequent)"},
        {"RefreshInverse", [] { return Zelkor_Affinity_RefreshInverse(); }, 100, 10, "Rate limit: 100 ms", 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " after " << c.gapMs << " ms at " << c.limitMs.value_or(0));
        Zelkor_Affinity_Cleanup();  // empties the limiter
        Zelkor_Affinity_ClearSecurityEvents();
        const AffinityConfig cfg{30, 0, 250, 0, 300, 5000, c.limitMs.has_value(), c.limitMs.value_or(100)};
        Zelkor_Affinity_SetConfigC(&cfg);  // no signature events
        c.call();
        machine.advanceMs(c.gapMs);
        listen();
        const std::int32_t result = c.call();
        const auto ev = events();
        ASSERT_EQ(ev.size(), c.detail.empty() ? 0u : 1u);
        if (ev.empty()) continue;
        EXPECT_EQ(result, c.refusedResult);
        EXPECT_EQ(ev[0].kind, 2u);
        EXPECT_EQ(ev[0].pid, c.eventPid);
        EXPECT_STREQ(ev[0].name, c.name);
        EXPECT_EQ(ev[0].detail, c.detail);
        EXPECT_EQ(lines(), c.line.empty() ? Lines{} : Lines{c.line});
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

TEST_F(AffinityFoundations, ConfigurationStoredAsGivenWithFlagsAsZeroOrOne) {
    const AffinityConfig fresh = config(), defaults{30, 0, 250, 1, 300, 5000, 1, 100};
    EXPECT_EQ(std::memcmp(&fresh, &defaults, sizeof fresh), 0);
    const AffinityConfig odd{-1, 7, 1, 7, -3, 0, 7, -5};
    Zelkor_Affinity_SetConfigC(&odd);
    const AffinityConfig back = config();
    const AffinityConfig expected{-1, 1, 1, 1, -3, 0, 1, -5};
    EXPECT_EQ(std::memcmp(&back, &expected, sizeof back), 0);
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
