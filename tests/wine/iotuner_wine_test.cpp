// The I/O tuner in the real DLL with real helper processes. Wine has no I/O priority:
// querying it fails with 0xC0000003 and setting it with 0xC0000002 (STATUS_NOT_IMPLEMENTED),
// so under Wine only the CPU step lowers anything and the I/O lines report the failure.
// Every process this program starts is its child, and the tuner refuses the caller's
// descendants, so a process that must be lowered is started as an orphan.

#include <mutex>
#include <string>
#include <vector>

#include "wine_support.h"
#include "zelkor.h"

namespace {

using LowerSingleFn = int32_t(ZK_CALL*)(uint32_t, uint32_t, uint32_t, int, int);
using ApplyFn = int32_t(ZK_CALL*)(uint32_t, int);
using ApplyExFn = int32_t(ZK_CALL*)(uint32_t, int, int);
using VoidFn = void(ZK_CALL*)();
using SetCallbackFn = void(ZK_CALL*)(IOTunerLogCallback);
using QuarantineFn = int32_t(ZK_CALL*)(int32_t, int32_t);

std::mutex g_mutex;
std::vector<std::string> g_lines;

void ZK_CALL collect(const char* line) {
    std::lock_guard lk(g_mutex);
    g_lines.emplace_back(line);
}

// The captured line that ends with `tail`, whatever its time stamp.
bool logged(const std::string& tail) {
    std::lock_guard lk(g_mutex);
    for (const auto& l : g_lines)
        if (l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0) return true;
    return false;
}

DWORD_PTR affinityOf(HANDLE process) {
    DWORD_PTR mine = 0, system = 0;
    GetProcessAffinityMask(process, &mine, &system);
    return mine;
}

class IoTunerUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lowerSingle && apply && applyEx && restore && setCallback && quarantine);
        restore();  // nothing left over from an earlier test
        {
            std::lock_guard lk(g_mutex);
            g_lines.clear();
        }
        setCallback(&collect);
    }
    void TearDown() override {
        restore();
        setCallback(nullptr);
    }
    std::string ioLine(DWORD pid, const std::string& text) { return "[INFO] [IO] pid=" + std::to_string(pid) + text; }
    std::string cpuLine(DWORD pid, const std::string& text) { return "[INFO] [CPU] pid=" + std::to_string(pid) + text; }

    LowerSingleFn lowerSingle = zkw::fn<LowerSingleFn>("Zelkor_IOTuner_LowerSinglePid");
    ApplyFn apply = zkw::fn<ApplyFn>("Zelkor_IOTuner_ApplyInverseIo");
    ApplyExFn applyEx = zkw::fn<ApplyExFn>("Zelkor_IOTuner_ApplyInverseIoEx");
    VoidFn restore = zkw::fn<VoidFn>("Zelkor_IOTuner_Restore");
    SetCallbackFn setCallback = zkw::fn<SetCallbackFn>("SetIOTunerLogCallback");
    QuarantineFn quarantine = zkw::fn<QuarantineFn>("Zelkor_HardQuarantine_Offender");
    const DWORD self = GetCurrentProcessId();
};

TEST_F(IoTunerUnderWine, SingleProcessRefusalsAndLowering) {
    auto svchost = zkw::startHelper(L"svchost.exe", L"sleep");
    auto child = zkw::startHelper(L"worker.exe", L"sleep");
    auto broker = zkw::startOrphanHelper(L"RuntimeBroker.exe", L"sleep");
    auto discord = zkw::startOrphanHelper(L"Discord.exe", L"sleep");
    ASSERT_TRUE(svchost && child && broker && discord);

    EXPECT_EQ(lowerSingle(svchost->pid, 0, 0, 1, 0), 0);
    EXPECT_TRUE(logged(ioLine(svchost->pid, " SKIPPED (system critical: svchost)")));
    EXPECT_EQ(lowerSingle(child->pid, 0, self, 1, 0), 0);
    EXPECT_TRUE(logged(ioLine(child->pid, " SKIPPED (child of Zelkor)")));
    EXPECT_EQ(lowerSingle(broker->pid, 0, self, 0, 0), 0);
    EXPECT_TRUE(logged(ioLine(broker->pid, " SKIPPED (user-important, non-aggressive: runtimebroker)")));
    EXPECT_EQ(lowerSingle(discord->pid, 0, self, 0, 1), 0);
    EXPECT_TRUE(logged(ioLine(discord->pid, " SKIPPED (streamer protected: discord)")));
    EXPECT_EQ(lowerSingle(discord->pid, discord->pid, self, 0, 0), 0);
    EXPECT_TRUE(logged(ioLine(discord->pid, " SKIPPED (game pid)")));
    for (HANDLE h : {svchost->process, child->process, broker->process, discord->process})
        EXPECT_EQ(GetPriorityClass(h), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));

    EXPECT_EQ(lowerSingle(broker->pid, 0, self, 1, 0), 1);
    EXPECT_EQ(GetPriorityClass(broker->process), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
    EXPECT_TRUE(logged(cpuLine(broker->pid, " SUCCESS (PriorityClass -> IDLE, name=runtimebroker)")));
    if (zkw::isWine()) {
        EXPECT_TRUE(logged(ioLine(broker->pid, " SKIPPED (NtSet status=-1073741822)")));
    }
}

TEST_F(IoTunerUnderWine, BulkPassRateLimitAndRestore) {
    auto game = zkw::startOrphanHelper(L"game.exe", L"sleep");
    auto hog = zkw::startOrphanHelper(L"hog.exe", L"spin");
    auto child = zkw::startHelper(L"childhog.exe", L"sleep");
    ASSERT_TRUE(game && hog && child);

    const int32_t n = applyEx(game->pid, 0, 0);
    EXPECT_GE(n, 1);
    EXPECT_TRUE(logged("[INFO] [IOTuner] Inverse IO+CPU applied to " + std::to_string(n) +
                       " processes (game pid=" + std::to_string(game->pid) + ", streamingMode=false)."));
    EXPECT_EQ(GetPriorityClass(hog->process), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
    EXPECT_EQ(GetPriorityClass(game->process), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(GetPriorityClass(child->process), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    if (zkw::isWine()) {
        EXPECT_TRUE(logged(ioLine(hog->pid, " SKIPPED (NtSet status=-1073741822)")));
    }

    // Well within 500 ms of the pass: refused for this game, not for another.
    EXPECT_EQ(apply(game->pid, 0), -1);
    EXPECT_TRUE(logged("[WARNING] [IOTuner] Rate limit for game pid=" + std::to_string(game->pid)));
    EXPECT_GE(apply(hog->pid, 0), 0);

    restore();
    EXPECT_EQ(GetPriorityClass(hog->process), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    EXPECT_TRUE(logged("[INFO] [IOTuner] Restored CPU priority for pid=" + std::to_string(hog->pid) + " -> 32"));
    EXPECT_TRUE(logged("[INFO] [IOTuner] IO restore complete; snapshot map cleared."));
}

TEST_F(IoTunerUnderWine, QuarantineConfinesAndRestoreReturnsBelowNormal) {
    auto offender = zkw::startOrphanHelper(L"offender.exe", L"spin");
    auto child = zkw::startHelper(L"childoffender.exe", L"sleep");
    ASSERT_TRUE(offender && child);
    const DWORD_PTR before = affinityOf(child->process);

    EXPECT_EQ(quarantine(0, 0), -1);
    EXPECT_EQ(quarantine(static_cast<int32_t>(child->pid), 0), 0);
    EXPECT_TRUE(logged(ioLine(child->pid, " SKIPPED (child of Zelkor)")));
    EXPECT_EQ(affinityOf(child->process), before);
    EXPECT_EQ(GetPriorityClass(child->process), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));

    EXPECT_EQ(quarantine(static_cast<int32_t>(offender->pid), 0), 1);
    EXPECT_EQ(affinityOf(offender->process), static_cast<DWORD_PTR>(1));
    EXPECT_EQ(GetPriorityClass(offender->process), static_cast<DWORD>(IDLE_PRIORITY_CLASS));

    restore();
    EXPECT_EQ(GetPriorityClass(offender->process), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(affinityOf(offender->process), static_cast<DWORD_PTR>(1));
}

}  // namespace
