// Services and background programs in the real DLL: a real service of Wine's, and real
// helper processes under the names the cleanup rules know.

#include "wine_support.h"

namespace {

TEST(BoostUtilUnderWine, SpoolerStartsAndStops) {
    ZKW_ONLY_UNDER_WINE("starts and stops the Spooler service");
    auto start = ZK_LOAD(Zelkor_StartServicesW);
    auto stop = ZK_LOAD(Zelkor_StopServicesW);
    ASSERT_TRUE(start && stop);
    wchar_t out[64];
    stop(L"Spooler", out, 64);  // whatever state the prefix left it in
    EXPECT_EQ(start(L" Spooler\r\n", 0), 1u);
    EXPECT_EQ(stop(L"Spooler,NoSuchService", out, 64), 1u);
    EXPECT_STREQ(out, L"Spooler");
    EXPECT_EQ(stop(L"Spooler", out, 64), 0u) << "already stopped";
    EXPECT_STREQ(out, L"");
}

TEST(BoostUtilUnderWine, EndsBackgroundProgramsAsTheRulesSay) {
    ZKW_ONLY_UNDER_WINE("ends every program named like a browser or a vendor utility");
    auto streaming = ZK_LOAD(Zelkor_IsStreamingActiveW);
    auto kill = ZK_LOAD(Zelkor_KillBackgroundProcessesW);
    ASSERT_TRUE(streaming && kill);
    auto chrome = zkw::startHelper(L"chrome.exe", L"sleep");
    auto discord = zkw::startHelper(L"discord.exe", L"sleep");
    auto lghub = zkw::startHelper(L"lghub.exe", L"sleep");
    auto obs = zkw::startHelper(L"obs64.exe", L"sleep");
    ASSERT_TRUE(chrome && discord && lghub && obs);
    EXPECT_EQ(streaming(), 1);

    auto endedWithOne = [](const zkw::Child& c) {
        DWORD code = 0;
        return WaitForSingleObject(c.process, 5000) == WAIT_OBJECT_0 && GetExitCodeProcess(c.process, &code) &&
               code == 1;
    };
    auto running = [](const zkw::Child& c) { return WaitForSingleObject(c.process, 0) == WAIT_TIMEOUT; };
    EXPECT_EQ(kill(0, 0), 1u);
    EXPECT_TRUE(endedWithOne(*chrome));
    EXPECT_TRUE(running(*discord) && running(*lghub) && running(*obs));
    EXPECT_EQ(kill(1, 0), 1u);
    EXPECT_TRUE(endedWithOne(*lghub));
    EXPECT_TRUE(running(*discord) && running(*obs));
}

}  // namespace
