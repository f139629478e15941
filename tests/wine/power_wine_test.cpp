// The processor boost and the power API in the real DLL. Wine has no active power scheme
// (PowerGetActiveScheme fails with 120), no PowerReadACValueIndex or PowerWrite*ValueIndex,
// and accepts any scheme activation without doing anything.

#include "support/watchdog.h"
#include "wine_support.h"

namespace {

// The boost logs under its locks: its own exports called from its log callback return at
// once, a cleanup doing nothing.
decltype(&Zelkor_Driverless_Cleanup) g_cleanup = nullptr;
decltype(&Zelkor_Driverless_GetMode) g_mode = nullptr;
void ZK_CALL keepAndCallBack(const char* line) {
    zkw::keepLine(line);
    g_cleanup();
    g_mode();
}

TEST(PowerUnderWine, TheBoostAbortsWithoutAnActiveSchemeAndItsCallbackMayCallBack) {
    ZKW_ONLY_UNDER_WINE("boosts the machine's active power scheme");
    auto setLog = ZK_LOAD(SetDriverlessLogCallback);
    auto apply = ZK_LOAD(Zelkor_Driverless_Apply);
    auto mode = g_mode = ZK_LOAD(Zelkor_Driverless_GetMode);
    g_cleanup = ZK_LOAD(Zelkor_Driverless_Cleanup);
    ASSERT_TRUE(setLog && apply && mode && g_cleanup);
    zkw::clearLines();
    setLog(keepAndCallBack);
    zk::test::mustReturn("Zelkor_Driverless_Apply", [&] { apply("high", 1); });
    setLog(nullptr);
    const auto lines = zkw::keptLines();
    ASSERT_EQ(lines.size(), 2u) << "the failure and the abort";
    EXPECT_TRUE(lines[0].ends_with("[ERROR] [Driverless] PowerGetActiveScheme failed with error: 120")) << lines[0];
    EXPECT_EQ(mode(), 0u);
}

TEST(PowerUnderWine, SettersMeetWhatWineLacks) {
    ZKW_ONLY_UNDER_WINE("switches and tunes the machine's power schemes");
    auto highPerf = ZK_LOAD(Zelkor_Power_SetHighPerformance);
    auto throttle = ZK_LOAD(Zelkor_Power_SetCpuThrottle);
    ASSERT_TRUE(highPerf && throttle);
    EXPECT_EQ(highPerf(), 1) << "Wine accepts the activation";
    static const GUID balanced = {0x381b4222, 0xf694, 0x41f0, {0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2e}};
    static_assert(sizeof(GUID) == sizeof(ZkGuid), "a GUID passes as a ZkGuid");
    EXPECT_EQ(throttle(reinterpret_cast<const ZkGuid*>(&balanced), 50, 100), 0)
        << "PowerWriteACValueIndex is absent, and the DLL loaded without it";
}

TEST(PowerUnderWine, LastErrorAndElevation) {
    auto lastError = ZK_LOAD(Zelkor_Power_GetLastError);
    auto elevated = ZK_LOAD(Zelkor_Power_IsElevated);
    ASSERT_TRUE(lastError && elevated);
    SetLastError(1234);
    EXPECT_EQ(lastError(), 1234u) << "the caller's error, not one left by the logging";
    const uint32_t e = elevated();
    if (zkw::isWine()) {
        EXPECT_EQ(e, 1u) << "Wine's token is elevated";
    }
}

}  // namespace
