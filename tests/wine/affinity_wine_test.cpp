// The affinity module in the real DLL. Wine reports the host's two processors, so every
// layout export takes its four-core refusal here; what only the real system shows is the
// exact refusal lines, the fail-open signature gate on a real image path, the privilege
// lines, and that after Cleanup the host's last FreeLibrary unloads the library at once.

#include <regex>

#include "wine_support.h"

namespace {

const std::string kStamp = R"(\[ZELKOR\.AFFINITY\] \[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] )";

DWORD processorCount() {
    SYSTEM_INFO si{};
    GetNativeSystemInfo(&si);
    return si.dwNumberOfProcessors;
}

// A kept line whose message, after the prefix and time stamp, is exactly levelAndMessage.
bool loggedExactly(const std::string& levelAndMessage) {
    for (const auto& l : zkw::keptLines()) {
        std::smatch m;
        if (std::regex_search(l, m, std::regex("^" + kStamp)) && l.substr(m.length()) == levelAndMessage + "\n")
            return true;
    }
    return false;
}

class AffinityUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(setLog && cleanup && clearEvents && getEvents);
        if (processorCount() > 4) GTEST_SKIP() << "more than four processors: the layouts would pin this machine's processes";
        cleanup();  // an empty rate limiter and no layout from an earlier test
        clearEvents();
        zkw::clearLines();
        setLog(zkw::keepLine);
    }
    void TearDown() override {
        if (setLog) setLog(nullptr);
    }
    std::vector<AffinitySecurityEventC> events() {
        std::vector<AffinitySecurityEventC> out(16);
        out.resize(static_cast<size_t>(getEvents(out.data(), 16)));
        return out;
    }
    decltype(&SetAffinityLogCallback) setLog = ZK_LOAD(SetAffinityLogCallback);
    decltype(&Zelkor_Affinity_Cleanup) cleanup = ZK_LOAD(Zelkor_Affinity_Cleanup);
    decltype(&Zelkor_Affinity_ClearSecurityEvents) clearEvents = ZK_LOAD(Zelkor_Affinity_ClearSecurityEvents);
    decltype(&Zelkor_Affinity_GetSecurityEventsC) getEvents = ZK_LOAD(Zelkor_Affinity_GetSecurityEventsC);
};

TEST_F(AffinityUnderWine, EveryLayoutExportRefusesTwoProcessors) {
    auto boost = ZK_LOAD(Zelkor_Affinity_ApplyBoostForPid);
    auto inverse = ZK_LOAD(Zelkor_Affinity_ApplyInverseForPid);
    auto offender = ZK_LOAD(Zelkor_Affinity_ApplyInverseForOffenderPid);
    auto step = ZK_LOAD(Zelkor_Affinity_DynamicStepForPid);
    ASSERT_TRUE(boost && inverse && offender && step);
    auto game = zkw::startHelper(L"game.exe", L"sleep");
    auto other = zkw::startOrphanHelper(L"other.exe", L"sleep");
    ASSERT_TRUE(game && other);
    DWORD_PTR before = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(other->process, &before, &system));

    const double sample = 50.0;
    const int32_t pid = static_cast<int32_t>(game->pid);
    EXPECT_EQ(boost(pid), 0);
    EXPECT_EQ(inverse(pid), 0);
    EXPECT_EQ(offender(static_cast<int32_t>(other->pid)), 0);
    EXPECT_EQ(step(pid, &sample, 1), 0);
    const std::string n = std::to_string(processorCount());
    EXPECT_TRUE(loggedExactly("[INFO] [Affinity] ApplyBoost skipped: CPU has " + n +
                              " logical cores (no affinity on <=4 cores)."));
    EXPECT_TRUE(loggedExactly("[INFO] [InverseAffinity] ApplyInverse skipped: CPU has " + n +
                              " logical cores (no affinity on <=4 cores)."));
    EXPECT_TRUE(loggedExactly("[INFO] [InverseAffinity] Offender skipped: CPU has " + n +
                              " logical cores (no affinity changes on <=4 cores)."));
    EXPECT_TRUE(loggedExactly("[INFO] [DynamicAffinity] Skipped: CPU has " + n +
                              " logical cores (no affinity on <=4 cores)."));
    DWORD_PTR after = 0;
    ASSERT_TRUE(GetProcessAffinityMask(other->process, &after, &system));
    EXPECT_EQ(after, before);
}

// ApplyBoost checks the signature before the processor count: the real image path is read
// and accepted by the fail-open verifier, and the second call within a second is refused.
TEST_F(AffinityUnderWine, TheSignatureGateAcceptsARealImageAndTheLimiterRecordsRefusals) {
    auto boost = ZK_LOAD(Zelkor_Affinity_ApplyBoostForPid);
    ASSERT_TRUE(boost);
    auto game = zkw::startHelper(L"signedgame.exe", L"sleep");
    ASSERT_TRUE(game);
    const int32_t pid = static_cast<int32_t>(game->pid);
    EXPECT_EQ(boost(pid), 0);
    EXPECT_EQ(boost(pid), 0);
    const auto ev = events();
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].kind, 2u);
    EXPECT_STREQ(ev[0].name, "ApplyBoostForPid");
    EXPECT_STREQ(ev[0].detail, "Rate limit: 1000 ms");
    EXPECT_EQ(ev[1].kind, 0u);
    EXPECT_EQ(ev[1].pid, game->pid);
    EXPECT_STREQ(ev[1].name, "signedgame.exe");
    const std::string path = ev[1].detail;
    EXPECT_TRUE(std::regex_match(path, std::regex(R"([A-Za-z]:\\.*\\signedgame\.exe)"))) << path;
    EXPECT_TRUE(loggedExactly("[DEBUG] [Security] Signature verification stub active (fail-open) for: " + path));
    EXPECT_TRUE(loggedExactly("[DEBUG] [RateLimit] ApplyBoostForPid called too frequently"));
}

TEST_F(AffinityUnderWine, DiagnosticDumpAndPrivileges) {
    auto diag = ZK_LOAD(Zelkor_Affinity_DiagnoseStatus);
    auto init = ZK_LOAD(Zelkor_Affinity_Initialize);
    ASSERT_TRUE(diag && init);
    diag();
    EXPECT_TRUE(loggedExactly("[INFO] === AFFINITY DIAGNOSTIC ===\nusing_inverse=false\ninverse_target_pid=0\n"
                              "inverse_cores=\n============================"));
    zkw::clearLines();
    EXPECT_EQ(init(), 1);
    const auto lines = zkw::keptLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(loggedExactly("[INFO] [Privileges] Initialiseren privileges..."));
    EXPECT_TRUE(loggedExactly("[INFO] [Affinity] Initialize complete (inverse-only, stateless-ready)"));
    if (zkw::isWine()) {
        // Wine's AdjustTokenPrivileges succeeds for every privilege, with last error 0.
        for (size_t i = 1; i <= 4; ++i)
            EXPECT_TRUE(std::regex_match(lines[i], std::regex(kStamp + R"(\[INFO\] \[Privileges\] Privilege enabled\n)")))
                << lines[i];
    }
}

// A host that loads its own copy, boosts with the child monitor on, cleans up and frees
// it: nothing of the library keeps it loaded.
TEST_F(AffinityUnderWine, AfterCleanupTheLastFreeLibraryUnloads) {
    const std::wstring copy = zkhelper::binDir() + L"\\ZelkorUnloadCopy.dll";
    ASSERT_TRUE(CopyFileW((zkhelper::binDir() + L"\\Zelkor.dll").c_str(), copy.c_str(), FALSE));
    HMODULE dll = LoadLibraryW(copy.c_str());
    ASSERT_TRUE(dll);
    auto proc = [&](const char* name) { return reinterpret_cast<void (*)(void)>(GetProcAddress(dll, name)); };
    auto setConfig = reinterpret_cast<decltype(&Zelkor_Affinity_SetConfigC)>(proc("Zelkor_Affinity_SetConfigC"));
    auto boost = reinterpret_cast<decltype(&Zelkor_Affinity_ApplyBoostForPid)>(proc("Zelkor_Affinity_ApplyBoostForPid"));
    auto doCleanup = reinterpret_cast<decltype(&Zelkor_Affinity_Cleanup)>(proc("Zelkor_Affinity_Cleanup"));
    ASSERT_TRUE(setConfig && boost && doCleanup);
    const AffinityConfig monitored{30, 1, 10, 1, 300, 5000, 1, 100};
    setConfig(&monitored);
    auto game = zkw::startHelper(L"game.exe", L"sleep");
    ASSERT_TRUE(game);
    boost(static_cast<int32_t>(game->pid));  // refused on two processors: no monitor here
    doCleanup();
    EXPECT_TRUE(FreeLibrary(dll));
    EXPECT_EQ(GetModuleHandleW(L"ZelkorUnloadCopy.dll"), nullptr) << "unloaded by the last FreeLibrary";
    DeleteFileW(copy.c_str());
}

}  // namespace
