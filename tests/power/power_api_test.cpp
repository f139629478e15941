// The power API: argument checks, the settings each setter writes and the scheme it
// activates (the resolved one, also for the active scheme), and every failure line.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <tuple>

#include "power_fixture.h"

namespace zk::test {
namespace {

using sim::Op;

class PowerApiTest : public PowerTest {
protected:
    // The "[ZELKOR.POWER] " lines written to standard error since the last call.
    Lines powerLines() {
        const std::string all = machine.stdErr();
        Lines out;
        for (std::size_t at = seen_, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
            out.push_back(all.substr(at, end - at));
        seen_ = all.size();
        return out;
    }
    static ZkGuid zk(const Guid& g) {
        ZkGuid out;
        std::memcpy(&out, &g, sizeof out);
        return out;
    }

private:
    std::size_t seen_ = 0;
};

TEST_F(PowerApiTest, RefusedArgumentsAndANullOutLogNothing) {
    const std::pair<std::uint32_t, std::int32_t> refused[] = {{60, 50}, {0, 101}, {101, 101}, {0, -1}, {~0u, 100}};
    for (auto [min, max] : refused) EXPECT_EQ(Zelkor_Power_SetCpuThrottle(nullptr, min, max), 0) << min << " " << max;
    EXPECT_EQ(Zelkor_Power_GetActivePlan(nullptr), 0);
    EXPECT_TRUE(machine.stdErr().empty());
    EXPECT_TRUE(machine.changes().empty());
}

// A null plan is the scheme active when the setter resolves it (the machine refuses a null
// GUID): written on AC and DC and activated again, even when another program switches
// schemes while the setter writes.
TEST_F(PowerApiTest, ANullPlanIsTheResolvedSchemeWrittenAndLeftActive) {
    // The setter, the setting it writes, the value written, and its line.
    const std::tuple<std::function<std::int32_t()>, Guid, Guid, std::uint32_t, std::string> cases[] = {
        {[] { return Zelkor_Power_SetCpuThrottle(nullptr, 100, 100); }, win::GUID_PROCESSOR_SETTINGS_SUBGROUP, kMax,
         100, "Zelkor_Power_SetCpuThrottle: SUCCESS (plan tuned, min=100, max=100)."},
        {[] { return Zelkor_Power_SetPcieAspmDisabled(nullptr); }, win::GUID_PCIEXPRESS_SETTINGS_SUBGROUP,
         win::GUID_PCIEXPRESS_ASPM_POLICY, 0,
         "Zelkor_Power_SetPcieAspmDisabled: SUCCESS (PCIe ASPM disabled on selected scheme)."},
        {[] { return Zelkor_Power_SetWifiMaxPerf(nullptr); }, win::GUID_WIRELESS_ADAPTER_SETTINGS_SUBGROUP,
         win::GUID_WIRELESS_POWER_SAVING_MODE, 0,
         "Zelkor_Power_SetWifiMaxPerf: SUCCESS (WiFi max performance on selected scheme)."},
    };
    machine.setHook(Op::PowerWriteACValueIndex, [] { platform::power().powerSetActiveScheme(&kHighPerf); });
    for (const auto& [call, subgroup, setting, written, line] : cases) {
        SCOPED_TRACE(line);
        machine.setPowerValue(kBalanced, subgroup, setting, {7, 7});
        platform::power().powerSetActiveScheme(&kBalanced);
        EXPECT_EQ(call(), 1);
        EXPECT_EQ(value(subgroup, setting), (sim::PowerValue{written, written}));
        EXPECT_EQ(machine.activePowerScheme(), kBalanced);
        EXPECT_EQ(powerLines(), Lines{"[ZELKOR.POWER] " + line});
    }
}

TEST_F(PowerApiTest, SettersWriteTheGivenPlanAndActivateIt) {
    const ZkGuid highPerf = zk(kHighPerf);
    EXPECT_EQ(Zelkor_Power_SetWifiMaxPerf(&highPerf), 1);
    EXPECT_EQ(
        value(win::GUID_WIRELESS_ADAPTER_SETTINGS_SUBGROUP, win::GUID_WIRELESS_POWER_SAVING_MODE, kHighPerf),
        (sim::PowerValue{0, 0}));
    EXPECT_EQ(machine.activePowerScheme(), kHighPerf) << "the given plan becomes the active one";
    EXPECT_EQ(Zelkor_Power_SetCpuThrottle(&highPerf, 20, 80), 1);
    EXPECT_EQ(value(win::GUID_PROCESSOR_SETTINGS_SUBGROUP, kMax, kHighPerf), (sim::PowerValue{80, 80}));
    EXPECT_EQ(value(win::GUID_PROCESSOR_SETTINGS_SUBGROUP, kMin, kHighPerf), (sim::PowerValue{20, 20}));
    ZkGuid active{};
    EXPECT_EQ(Zelkor_Power_GetActivePlan(&active), 1);
    EXPECT_EQ(std::memcmp(&active, &highPerf, sizeof active), 0);
    EXPECT_EQ(powerLines(), (Lines{
        "[ZELKOR.POWER] Zelkor_Power_SetWifiMaxPerf: SUCCESS (WiFi max performance on selected scheme).",
        "[ZELKOR.POWER] Zelkor_Power_SetCpuThrottle: SUCCESS (plan tuned, min=20, max=80).",
        "[ZELKOR.POWER] Zelkor_Power_GetActivePlan: active scheme GUID retrieved.",
    }));
    const auto debug = machine.debugOutput();
    EXPECT_EQ(Lines(debug.end() - 3, debug.end()),
              (Lines{"[ZELKOR.POWER] ", "Zelkor_Power_GetActivePlan: active scheme GUID retrieved.", "\n"}));
    EXPECT_EQ(Zelkor_Power_SetHighPerformance(), 1);
    EXPECT_EQ(powerLines(), (Lines{"[ZELKOR.POWER] High Performance power scheme activated.",
                                   "[ZELKOR.POWER] Zelkor_Power_SetHighPerformance: SUCCESS."}));
}

TEST_F(PowerApiTest, EveryFailureLine) {
    using Setup = std::function<void(sim::SimMachine&)>;
    const Setup noActive = [](sim::SimMachine& m) { m.failOp(Op::PowerGetActiveScheme, 120); };
    const Setup noActivation = [](sim::SimMachine& m) { m.failOp(Op::PowerSetActiveScheme, 5); };
    const Setup noAcWrite = [](sim::SimMachine& m) { m.hideRoutine(platform::Routine::PowerWriteACValueIndex); };
    const std::string resolve = "ResolvePlanGuid: PowerGetActiveScheme FAILED (error=120).";
    // The call, the fault, and its lines.
    using Case = std::tuple<std::function<std::int32_t()>, Setup, Lines>;
    const auto throttle = [] { return Zelkor_Power_SetCpuThrottle(nullptr, 10, 90); };
    std::vector<Case> cases = {
        {throttle, noActive, {resolve, "Zelkor_Power_SetCpuThrottle: FAILED (ResolvePlanGuid)."}},
        {throttle, [](sim::SimMachine& m) { m.failPowerWrite(kMin, 5); }, {"Zelkor_Power_SetCpuThrottle: FAILED (AC MIN)."}},
        {throttle, [](sim::SimMachine& m) { m.failPowerWrite(kMax, 5); }, {"Zelkor_Power_SetCpuThrottle: FAILED (AC MAX)."}},
        {throttle, noActivation, {"Zelkor_Power_SetCpuThrottle: FAILED (PowerSetActiveScheme)."}},
        {Zelkor_Power_SetHighPerformance, noActivation,
         {"Failed to activate High Performance scheme (error=5).", "Zelkor_Power_SetHighPerformance: FAILED."}},
        {[] {
             ZkGuid out;
             return Zelkor_Power_GetActivePlan(&out);
         },
         noActive, {"Zelkor_Power_GetActivePlan FAILED (error=120)."}},
    };
    // The two setters of one setting fail alike, each with its own name.
    const std::pair<std::string, std::int32_t (*)(const ZkGuid*)> oneSetting[] = {
        {"Zelkor_Power_SetPcieAspmDisabled", Zelkor_Power_SetPcieAspmDisabled},
        {"Zelkor_Power_SetWifiMaxPerf", Zelkor_Power_SetWifiMaxPerf}};
    for (const auto& [name, setter] : oneSetting) {
        const auto call = [setter = setter] { return setter(nullptr); };
        cases.push_back({call, noActive, {resolve, name + ": FAILED (ResolvePlanGuid)."}});
        cases.push_back({call, noAcWrite, {name + ": FAILED (AC)."}});
        cases.push_back({call, noActivation, {name + ": FAILED (PowerSetActiveScheme)."}});
    }
    for (const auto& [call, setup, expected] : cases) {
        sim::SimMachine m;
        sim::ScopedMachine scope(m);
        setup(m);
        SCOPED_TRACE(expected.back());
        EXPECT_EQ(call(), 0);
        std::string want;
        for (const auto& l : expected) want += "[ZELKOR.POWER] " + l + "\n";
        EXPECT_EQ(m.stdErr(), want);
    }
    // A missing DC write is not a failure.
    machine.hideRoutine(platform::Routine::PowerWriteDCValueIndex);
    EXPECT_EQ(Zelkor_Power_SetCpuThrottle(nullptr, 0, 100), 1);
}

TEST_F(PowerApiTest, LastErrorAndElevation) {
    machine.setLastError(1234);
    EXPECT_EQ(Zelkor_Power_GetLastError(), 1234u);
    EXPECT_EQ(Zelkor_Power_IsElevated(), 1u);
    machine.setTokenElevated(false);
    EXPECT_EQ(Zelkor_Power_IsElevated(), 0u);
    machine.setTokenElevated(true);
    machine.failOp(Op::OpenProcessToken, 5, 1);
    EXPECT_EQ(Zelkor_Power_IsElevated(), 0u);
    EXPECT_EQ(powerLines(), (Lines{"[ZELKOR.POWER] Zelkor_Power_GetLastError: 1234.",
                                   "[ZELKOR.POWER] Zelkor_Power_IsElevated: process is elevated.",
                                   "[ZELKOR.POWER] Zelkor_Power_IsElevated: process is NOT elevated.",
                                   "[ZELKOR.POWER] Zelkor_Power_IsElevated: process is NOT elevated."}));
}

}  // namespace
}  // namespace zk::test
