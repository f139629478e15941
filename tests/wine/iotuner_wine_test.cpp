// The I/O tuner in the real DLL with real helper processes. Wine has no I/O priority:
// setting it fails with 0xC0000002 (STATUS_NOT_IMPLEMENTED), so under Wine only the CPU
// step lowers anything and the I/O lines report the failure. Every process this program
// starts is its child, and the tuner refuses the caller's descendants, so a process that
// must be lowered is started as an orphan.

#include "wine_support.h"

namespace {

DWORD_PTR affinityOf(HANDLE process) {
    DWORD_PTR mine = 0, system = 0;
    GetProcessAffinityMask(process, &mine, &system);
    return mine;
}

std::string line(const char* tag, DWORD pid, const std::string& text) {
    return std::string("[INFO] [") + tag + "] pid=" + std::to_string(pid) + text;
}

const std::string kIoNotImplemented = " SKIPPED (NtSet status=-1073741822)";

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
    struct Case {
        const wchar_t* exe;
        bool orphan;
        int32_t lowered;
        DWORD priorityClass;
        const char* tag;
        const char* logTail;
    };
    const Case cases[] = {
        {L"worker.exe", false, 0, zkw::kNormal, "IO", " SKIPPED (child of Zelkor)"},
        {L"RuntimeBroker.exe", true, 1, zkw::kIdle, "CPU", " SUCCESS (PriorityClass -> IDLE, name=runtimebroker)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "helper " << c.exe);
        auto helper = c.orphan ? zkw::startOrphanHelper(c.exe, L"sleep") : zkw::startHelper(c.exe, L"sleep");
        ASSERT_TRUE(helper);
        EXPECT_EQ(lower(helper->pid, 0, GetCurrentProcessId(), 1, 0), c.lowered);
        EXPECT_EQ(GetPriorityClass(helper->process), c.priorityClass);
        EXPECT_TRUE(zkw::logged(line(c.tag, helper->pid, c.logTail)));
        if (c.lowered && zkw::isWine()) {
            EXPECT_TRUE(zkw::logged(line("IO", helper->pid, kIoNotImplemented)));
        }
    }
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
    EXPECT_TRUE(zkw::logged(line("IO", background->pid, kIoNotImplemented)));

    restore();
    EXPECT_EQ(GetPriorityClass(background->process), zkw::kNormal);
}

TEST_F(IoTunerUnderWine, QuarantineConfinesAndRestoreReturnsBelowNormal) {
    ZKW_ONLY_UNDER_WINE("runs a memory cleaning, which purges the standby list of the whole machine");
    auto quarantine = ZK_LOAD(Zelkor_HardQuarantine_Offender);
    ASSERT_TRUE(quarantine);
    auto offender = zkw::startOrphanHelper(L"offender.exe", L"sleep");
    ASSERT_TRUE(offender);

    EXPECT_EQ(quarantine(static_cast<int32_t>(offender->pid), 0), 1);
    EXPECT_EQ(affinityOf(offender->process), DWORD_PTR{1});
    EXPECT_EQ(GetPriorityClass(offender->process), zkw::kIdle);

    restore();
    EXPECT_EQ(GetPriorityClass(offender->process), zkw::kBelowNormal);
    EXPECT_EQ(affinityOf(offender->process), DWORD_PTR{1});
}

}  // namespace
