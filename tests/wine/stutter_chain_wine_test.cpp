// The whole stutter chain in the real DLL: sampled metrics, the profiler's two walks,
// the hard recovery, and a real hog left at the idle priority class.

#include <mutex>
#include <string>
#include <vector>

#include "wine_support.h"
#include "zelkor.h"

namespace {

using RootCauseFn = int32_t(ZK_CALL*)(uint32_t, double, double, double, double, double, double, double,
                                      PfRootCause*, uint32_t*);

std::mutex g_mutex;
std::vector<std::string> g_lines;
void ZK_CALL collect(const char* line) {
    std::lock_guard lk(g_mutex);
    g_lines.emplace_back(line);
}
bool logged(const std::string& line) {
    std::lock_guard lk(g_mutex);
    for (const auto& l : g_lines)
        if (l == line) return true;
    return false;
}

TEST(StutterChainUnderWine, RootCauseNamesARealHogAndTheHardRecoveryIdlesIt) {
    auto game = zkw::startHelper(L"game.exe", L"sleep");
    auto hog = zkw::startOrphanHelper(L"hog.exe", L"hog");
    ASSERT_TRUE(game && hog);
    ASSERT_EQ(GetPriorityClass(hog->process), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));

    auto getConfig = zkw::fn<void(ZK_CALL*)(QtmConfig*)>("QTM_GetConfig");
    auto setConfig = zkw::fn<void(ZK_CALL*)(QtmConfig*)>("QTM_SetConfig");
    auto start = zkw::fn<int(ZK_CALL*)()>("QTM_Start");
    auto stop = zkw::fn<void(ZK_CALL*)()>("QTM_Stop");
    auto setLog = zkw::fn<void(ZK_CALL*)(QtmStutterLogCallback)>("QTM_Stutter_SetLogCallback");
    auto setRecovery = zkw::fn<void(ZK_CALL*)(const QtmRecoveryConfig*)>("QTM_SetRecoveryConfig");
    auto pfReset = zkw::fn<void(ZK_CALL*)()>("PF_Reset");
    auto rootCause = zkw::fn<RootCauseFn>("QTM_GetStutterRootCause");
    ASSERT_TRUE(getConfig && setConfig && start && stop && setLog && setRecovery && pfReset && rootCause);

    QtmConfig original{};
    getConfig(&original);
    QtmConfig cfg = original;
    cfg.sampleIntervalUs = 3000;  // 3 ms pauses: the p99 crosses 2 ms
    setConfig(&cfg);
    const QtmRecoveryConfig recovery{3, 10, 10, 15, 0.0, 0.0};
    setRecovery(&recovery);
    setLog(collect);
    pfReset();
    ASSERT_EQ(start(), 1);

    // The first walk only records; the next one, 10 s later, measures the CPU shares.
    PfRootCause out{};
    uint32_t rec = 0;
    int32_t r = 0;
    std::string seen;  // what the walks named instead, for the failure message
    const ULONGLONG deadline = GetTickCount64() + 45000;
    while (GetTickCount64() < deadline) {
        Sleep(250);
        PfRootCause found{};
        uint32_t mode = 9;
        r = rootCause(game->pid, 0.30, 2.0, 50.0, 0.0, 0.0, 0.0, 1.0, &found, &mode);
        if (r == 1 && found.pid == hog->pid) {
            out = found;
            rec = mode;
            break;
        }
        if (r != 0) {
            const double score = found.score;
            seen += " [r=" + std::to_string(r) + " pid=" + std::to_string(found.pid) + " " + found.name +
                    " score=" + std::to_string(score) + "]";
        }
    }
    stop();
    setLog(nullptr);
    setConfig(&original);

    ASSERT_EQ(r, 1) << "the hog was not named within 45 s;" << seen;
    EXPECT_EQ(out.pid, hog->pid);
    EXPECT_STREQ(out.name, "hog.exe");
    EXPECT_EQ(out.category, 1);
    EXPECT_EQ(rec, 2u) << "a p99 above 4 ms calls for a hard recovery";
    EXPECT_TRUE(logged("[INFO] [StutterQTM] HARD recovery complete."));
    EXPECT_EQ(GetPriorityClass(hog->process), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
    EXPECT_EQ(GetPriorityClass(game->process), static_cast<DWORD>(NORMAL_PRIORITY_CLASS)) << "the game is never touched";
}

}  // namespace
