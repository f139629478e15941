// The affinity module in the real DLL. Wine reports the host's two processors, so every
// layout export takes its four-core refusal here; what only the real system shows is the
// exact refusal lines, the fail-open signature gate on a real image path and the privilege
// lines (unloading after Cleanup: unload_wine_test.cpp).

#include <algorithm>
#include <regex>

#include "wine_support.h"

namespace {

// The kept line whose message, after the prefix and time stamp, is levelAndMessage.
bool loggedExactly(const std::string& levelAndMessage) {
    static const std::regex stamp(R"(^\[ZELKOR\.AFFINITY\] \[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] )");
    for (const auto& l : zkw::keptLines())
        if (std::regex_replace(l, stamp, "") == levelAndMessage + "\n") return true;
    return false;
}

class AffinityUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(setLog && cleanup && clearEvents && getEvents);
        SYSTEM_INFO si{};
        GetNativeSystemInfo(&si);
        processors = si.dwNumberOfProcessors;
        if (processors > 4) GTEST_SKIP() << "more than four processors: the layouts would pin this machine's processes";
        cleanup();  // an empty rate limiter and no layout from an earlier test
        clearEvents();
        zkw::clearLines();
        setLog(zkw::keepLine);
    }
    void TearDown() override { setLog(nullptr); }
    DWORD processors = 0;
    decltype(&SetAffinityLogCallback) setLog = ZK_LOAD(SetAffinityLogCallback);
    decltype(&Zelkor_Affinity_Cleanup) cleanup = ZK_LOAD(Zelkor_Affinity_Cleanup);
    decltype(&Zelkor_Affinity_ClearSecurityEvents) clearEvents = ZK_LOAD(Zelkor_Affinity_ClearSecurityEvents);
    decltype(&Zelkor_Affinity_GetSecurityEventsC) getEvents = ZK_LOAD(Zelkor_Affinity_GetSecurityEventsC);
};

// ApplyBoost checks the signature before the processor count: the real image path is read
// and accepted by the fail-open verifier; a second call within a second is refused.
TEST_F(AffinityUnderWine, RefusalsOnTwoProcessorsAfterARealSignatureCheck) {
    auto boost = ZK_LOAD(Zelkor_Affinity_ApplyBoostForPid);
    auto inverse = ZK_LOAD(Zelkor_Affinity_ApplyInverseForPid);
    auto offender = ZK_LOAD(Zelkor_Affinity_ApplyInverseForOffenderPid);
    auto step = ZK_LOAD(Zelkor_Affinity_DynamicStepForPid);
    ASSERT_TRUE(boost && inverse && offender && step);
    auto game = zkw::startHelper(L"signedgame.exe", L"sleep");
    auto other = zkw::startOrphanHelper(L"other.exe", L"sleep");
    ASSERT_TRUE(game && other);
    DWORD_PTR before = 0, after = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(other->process, &before, &system));

    const double sample = 50.0;
    const int32_t pid = static_cast<int32_t>(game->pid);
    EXPECT_EQ(boost(pid), 0);
    EXPECT_EQ(boost(pid), 0);
    EXPECT_EQ(inverse(pid), 0);
    EXPECT_EQ(offender(static_cast<int32_t>(other->pid)), 0);
    EXPECT_EQ(step(pid, &sample, 1), 0);
    const std::string n = "CPU has " + std::to_string(processors) + " logical cores (no affinity";
    for (const std::string& line : {"[INFO] [Affinity] ApplyBoost skipped: " + n + " on <=4 cores).",
                                    "[INFO] [InverseAffinity] ApplyInverse skipped: " + n + " on <=4 cores).",
                                    "[INFO] [InverseAffinity] Offender skipped: " + n + " changes on <=4 cores).",
                                    "[INFO] [DynamicAffinity] Skipped: " + n + " on <=4 cores).",
                                    std::string("[DEBUG] [RateLimit] ApplyBoostForPid called too frequently")})
        EXPECT_TRUE(loggedExactly(line)) << line;
    ASSERT_TRUE(GetProcessAffinityMask(other->process, &after, &system));
    EXPECT_EQ(after, before);

    AffinitySecurityEventC ev[3] = {};
    ASSERT_EQ(getEvents(ev, 3), 2) << "the first boost's check and the second's refusal; the others stop earlier";
    EXPECT_EQ(ev[0].kind, 2u);
    EXPECT_STREQ(ev[0].detail, "Rate limit: 1000 ms");
    EXPECT_EQ(ev[1].kind, 0u);
    EXPECT_STREQ(ev[1].name, "signedgame.exe");
    const std::string path = ev[1].detail;
    EXPECT_TRUE(std::regex_match(path, std::regex(R"([A-Za-z]:\\.*\\signedgame\.exe)"))) << path;
    EXPECT_TRUE(loggedExactly("[DEBUG] [Security] Signature verification stub active (fail-open) for: " + path));
}

// Wine's AdjustTokenPrivileges succeeds for every privilege, with last error 0.
TEST_F(AffinityUnderWine, PrivilegesAreEnabled) {
    auto init = ZK_LOAD(Zelkor_Affinity_Initialize);
    ASSERT_TRUE(init);
    EXPECT_EQ(init(), 1);
    const auto lines = zkw::keptLines();
    ASSERT_EQ(lines.size(), 6u);
    if (zkw::isWine())
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.ends_with("[Privileges] Privilege enabled\n"); }),
                  4);
}

}  // namespace
