// The affinity module in the real DLL. Wine reports the host's two processors, so every
// layout export takes its four-core refusal here (each refusal is proven over the simulated
// machine); what only the real system shows is the processor count read, the fail-open
// signature gate on a real image path and the privilege lines (unloading after Cleanup:
// unload_wine_test.cpp).

#include <algorithm>
#include <regex>

#include "wine_support.h"

namespace {

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
// and accepted by the fail-open verifier. Then it, and the offender move, stand aside on
// the processors Wine reports.
TEST_F(AffinityUnderWine, RefusalsOnTwoProcessorsAfterARealSignatureCheck) {
    auto boost = ZK_LOAD(Zelkor_Affinity_ApplyBoostForPid);
    auto offender = ZK_LOAD(Zelkor_Affinity_ApplyInverseForOffenderPid);
    ASSERT_TRUE(boost && offender);
    auto game = zkw::startHelper(L"signedgame.exe", L"sleep");
    auto other = zkw::startOrphanHelper(L"other.exe", L"sleep");
    ASSERT_TRUE(game && other);
    DWORD_PTR before = 0, after = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(other->process, &before, &system));

    EXPECT_EQ(boost(static_cast<int32_t>(game->pid)), 0);
    EXPECT_EQ(offender(static_cast<int32_t>(other->pid)), 0);
    EXPECT_TRUE(zkw::logged("[INFO] [Affinity] ApplyBoost skipped: CPU has " + std::to_string(processors) +
                            " logical cores (no affinity on <=4 cores).\n"));
    ASSERT_TRUE(GetProcessAffinityMask(other->process, &after, &system));
    EXPECT_EQ(after, before);

    AffinitySecurityEventC ev[2] = {};
    ASSERT_EQ(getEvents(ev, 2), 1) << "the boost's check; the offender move stops earlier";
    EXPECT_EQ(ev[0].kind, 0u);
    EXPECT_STREQ(ev[0].name, "signedgame.exe");
    const std::string path = ev[0].detail;
    EXPECT_TRUE(std::regex_match(path, std::regex(R"([A-Za-z]:\\.*\\signedgame\.exe)"))) << path;
    EXPECT_TRUE(zkw::logged("[DEBUG] [Security] Signature verification stub active (fail-open) for: " + path + "\n"));
}

// Wine's AdjustTokenPrivileges succeeds for every privilege, with last error 0.
TEST_F(AffinityUnderWine, PrivilegesAreEnabled) {
    auto init = ZK_LOAD(Zelkor_Affinity_Initialize);
    ASSERT_TRUE(init);
    EXPECT_EQ(init(), 1);
    const auto lines = zkw::keptLines();
    ASSERT_EQ(lines.size(), 6u);
    if (zkw::isWine()) {
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.ends_with("[Privileges] Privilege enabled\n"); }),
                  4);
    }
}

}  // namespace
