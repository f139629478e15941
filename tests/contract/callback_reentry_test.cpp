// The modules that log under their log lock, called back from their own callback: every
// call returns, its work done or refused, as the header's tables say.

#include <atomic>
#include <cstring>
#include <functional>
#include <string>

#include "support/machine_fixture.h"
#include "support/watchdog.h"
#include "zelkor.h"

namespace zk::test {
namespace {

constexpr std::uint32_t kGame = 500, kHog = 610;

// The calls made from the first line that contains g_on, and what they gave.
const char* g_on = "";
std::function<std::string()> g_calls;
std::string g_results;
std::atomic<bool> g_called{false};
SoftDemoteHandle g_otherEngine = nullptr;

void callOnce(bool matches) {
    if (matches && !g_called.exchange(true)) g_results = g_calls();
}
void ZK_CALL narrow(const char* line) { callOnce(std::strstr(line, g_on) != nullptr); }
void ZK_CALL wide(const zk_wchar*) { callOnce(true); }

template <typename... Results>
std::string join(Results... r) {
    std::string out;
    ((out += (out.empty() ? "" : " ") + std::to_string(r)), ...);
    return out;
}

struct Row {
    const char* module;
    const char* on;
    std::function<void(sim::SimMachine&)> trigger;  // makes the module log to the callback
    std::function<std::string()> calls;
    std::string want;
};

const Row kRows[] = {
    {"IoTuner", "Rate limit for game",
     [](sim::SimMachine& m) {
         m.addProcess(kGame, 4, "game.exe");
         m.addProcess(kHog, 4, "hog.exe");
         Zelkor_IOTuner_ApplyInverseIo(kGame, 0);
         SetIOTunerLogCallback(&narrow);
         Zelkor_IOTuner_ApplyInverseIo(kGame, 0);  // refused, with its line, under the rate limit's lock until now
     },
     [] {
         SetIOTunerDebug(1);
         SetIOTunerLogCallback(&narrow);
         Zelkor_IOTuner_Restore();
         return join(Zelkor_IOTuner_ApplyInverseIo(kGame + 1, 0), Zelkor_IOTuner_ApplyInverseIoEx(kGame + 1, 0, 1),
                     Zelkor_IOTuner_LowerSinglePid(kHog, kGame, 0, 1, 0), Zelkor_HardQuarantine_Offender(kHog, kGame));
     },
     "-1 -1 0 0"},
    {"Throttle", "",
     [](sim::SimMachine& m) {
         m.addProcess(kHog, 4, "hog.exe");
         Zelkor_Throttle_SetLogCallbackW(&wide);
         Zelkor_Throttle_OffenderW(0, 0, 0, nullptr, nullptr);  // "Invalid or protected PID"
     },
     [] {
         std::uint32_t throttled = 0, restored = 0, plain = 9;
         const auto t = Zelkor_Throttle_OffenderW(kHog, 0, 0, nullptr, &throttled);
         const auto r = Zelkor_Restore_OffenderW(kHog, 0, nullptr, &restored);
         Zelkor_Throttle_SetLogCallbackW(&wide);
         const auto p = ThrottleOffenderByPid(kHog, 0, 0, nullptr, &plain, nullptr);  // no callback: done
         return join(t, throttled, r, restored, p, plain);
     },
     "0 1131 0 1131 1 0"},
    {"Affinity", "Signature verification stub",  // logged under the verdict cache's lock too
     [](sim::SimMachine& m) {
         m.setLogicalProcessorCount(8);
         m.advanceMs(60000);
         m.addProcess(kGame, 4, "game.exe");
         m.addProcess(kHog, 4, "hog.exe");
         SetAffinityLogCallback(&narrow);
         Zelkor_Affinity_ApplyInverseForPid(kGame);
     },
     [] {
         SetAffinityLogCallback(&narrow);
         Zelkor_Affinity_SetMinLogLevel(0);
         Zelkor_Affinity_Cleanup();
         Zelkor_Affinity_DiagnoseStatus();
         Zelkor_Affinity_ResetAll();
         return join(Zelkor_Affinity_ApplyBoostForPid(kGame), Zelkor_Affinity_ApplyInverseForOffenderPid(kHog),
                     Zelkor_Affinity_RefreshInverse(), Zelkor_Affinity_Initialize());
     },
     "0 0 0 0"},
    {"SoftDemotion", "Engine constructed",  // on the host's thread, under the log lock
     [](sim::SimMachine& m) {
         m.addProcess(kGame, 4, "game.exe");
         g_otherEngine = StartSoftDemoteV4("low", kGame, 0);
         SetSoftDemoteLogCallback(&narrow);
         StopSoftDemoteV4(StartSoftDemoteV4("mid", kGame, 0));
         m.joinModuleThreads();  // the other engine's worker, which freed it
     },
     [] {
         StopSoftDemoteV4(g_otherEngine);  // done: its worker stops and frees it
         SetSoftDemoteLogCallback(&narrow);
         return std::string(StartSoftDemoteV4("high", kGame, 0) ? "engine" : "null");
     },
     "null"},
    {"ProcessorBoost", "BOOST ACTIVE.",
     [](sim::SimMachine&) {
         SetDriverlessLogCallback(&narrow);
         Zelkor_Driverless_Apply("high", 1);
     },
     [] {
         Zelkor_Driverless_Cleanup();
         Zelkor_Driverless_Apply("low", 0);
         SetDriverlessLogCallback(&narrow);
         return join(Zelkor_Driverless_GetMode());  // the boost's, not cleaned up
     },
     "4"},
};

class CallbackReentryTest : public MachineTest, public ::testing::WithParamInterface<Row> {};

TEST_P(CallbackReentryTest, EveryCallReturnsWithItsWorkOrItsRefusal) {
    const Row& row = GetParam();
    g_on = row.on;
    g_calls = row.calls;
    g_results = "(not called)";
    g_called = false;
    mustReturn(row.module, [&] { row.trigger(machine); });
    EXPECT_EQ(g_results, row.want);
}

INSTANTIATE_TEST_SUITE_P(Modules, CallbackReentryTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.module); });

}  // namespace
}  // namespace zk::test
