// The I/O tuner in the real DLL with real helper processes. Wine has no I/O priority:
// setting it fails with 0xC0000002 (STATUS_NOT_IMPLEMENTED), so under Wine only the CPU
// step lowers anything and the I/O lines report the failure. Every process this program
// starts is its child, and the tuner refuses the caller's descendants, so a process that
// must be lowered is started as an orphan.

#include "wine_support.h"

namespace {

// The line of an I/O step that Wine does not implement.
std::string ioNotImplemented(DWORD pid) {
    return "[INFO] [IO] pid=" + std::to_string(pid) + " SKIPPED (NtSet status=-1073741822)";
}

class IoTunerUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(restore && setCallback);
        restore();  // nothing left over from an earlier test
        zkw::clearLines();
        setCallback(zkw::keepLine);
    }
    void TearDown() override {
        if (!restore || !setCallback) return;
        restore();
        setCallback(nullptr);
    }
    decltype(&Zelkor_IOTuner_Restore) restore = ZK_LOAD(Zelkor_IOTuner_Restore);
    decltype(&SetIOTunerLogCallback) setCallback = ZK_LOAD(SetIOTunerLogCallback);
};

// The tuner tells the caller's children from other processes by the real process tree.
TEST_F(IoTunerUnderWine, LowersAnOrphanAndRefusesAChild) {
    auto lower = ZK_LOAD(Zelkor_IOTuner_LowerSinglePid);
    ASSERT_TRUE(lower);
    auto child = zkw::startHelper(L"worker.exe", L"sleep");
    auto orphan = zkw::startOrphanHelper(L"RuntimeBroker.exe", L"sleep");
    ASSERT_TRUE(child && orphan);
    EXPECT_EQ(lower(child->pid, 0, GetCurrentProcessId(), 1, 0), 0);
    EXPECT_EQ(GetPriorityClass(child->process), zkw::kNormal);
    EXPECT_EQ(lower(orphan->pid, 0, GetCurrentProcessId(), 1, 0), 1);
    EXPECT_EQ(GetPriorityClass(orphan->process), zkw::kIdle);
}

TEST_F(IoTunerUnderWine, BulkPassLowersBackgroundProcessesAndRestoreUndoesIt) {
    ZKW_ONLY_UNDER_WINE("lowers every process of the machine that it may");
    auto apply = ZK_LOAD(Zelkor_IOTuner_ApplyInverseIoEx);
    ASSERT_TRUE(apply);
    auto game = zkw::startOrphanHelper(L"game.exe", L"sleep");
    auto background = zkw::startOrphanHelper(L"background.exe", L"sleep");
    auto child = zkw::startHelper(L"childworker.exe", L"sleep");
    ASSERT_TRUE(game && background && child);

    EXPECT_GE(apply(game->pid, 0, 0), 1);
    EXPECT_EQ(GetPriorityClass(background->process), zkw::kIdle);
    EXPECT_EQ(GetPriorityClass(game->process), zkw::kNormal);
    EXPECT_EQ(GetPriorityClass(child->process), zkw::kNormal);
    EXPECT_TRUE(zkw::logged(ioNotImplemented(background->pid)));

    restore();
    EXPECT_EQ(GetPriorityClass(background->process), zkw::kNormal);
}

}  // namespace
