// Which programs the background cleanup ends, the streaming test, the list parsing and the
// name rules.

#include <algorithm>
#include <thread>

#include "boostutil/boostutil_log.h"
#include "boostutil/process_names.h"
#include "boostutil/service_list.h"
#include "boostutil_fixture.h"

namespace zk::test {
namespace {

using boostutil::isCriticalService;
using boostutil::isValidServiceName;
using boostutil::parseServiceList;

TEST(ServiceList, ParsesTrimsAndDropsBlanks) {
    const std::pair<const char16_t*, std::vector<std::u16string>> cases[] = {
        {u" wuauserv, ,bits\r\n", {u"wuauserv", u"bits"}},
        {u"", {}},
        {u",,\t,", {}},
        {u"a,,a", {u"a", u"a"}},
        {nullptr, {}},
    };
    for (const auto& [csv, names] : cases) EXPECT_EQ(parseServiceList(csv), names);
}

TEST(ServiceList, NamesAreLettersDigitsUnderscoresAndDashes) {
    using U = std::u16string;
    for (const U& name : {U(u"wuauserv"), U(u"My_Svc-2"), U(u"Dienst\u00e9"), U(256, u'a')})
        EXPECT_TRUE(isValidServiceName(name)) << name.size();
    for (const U& name : {U(257, u'a'), U(), U(u"has space"), U(u"a.b"), U(u"a\\b")})
        EXPECT_FALSE(isValidServiceName(name)) << name.size();
}

TEST(ServiceList, CriticalServicesInAnyCase) {
    for (const char16_t* name : {u"power", u"Power", u"POWER", u"AudioEndpointBuilder", u"rpcss"})
        EXPECT_TRUE(isCriticalService(name)) << std::string(name, name + 3);
    EXPECT_FALSE(isCriticalService(u"Spooler"));
    EXPECT_FALSE(isCriticalService(u"powe"));
}

using KillCase = std::tuple<const char*, bool, bool, bool>;  // name, aggressive, protect gaming tools, ended

class KillRules : public BoostUtilTest {};

TEST_F(KillRules, EndsCandidatesAndSparesProtectedNames) {
    const KillCase cases[] = {
        {"chrome.exe", false, false, true},       {"Chrome.EXE", false, false, true},
        {"lghub.exe", false, false, false},       {"lghub.exe", true, false, true},
        {"epicwebhelper.exe", false, false, true}, {"epicwebhelper.exe", true, true, false},
        {"discord.exe", true, false, false},      {"vgcupdater.exe", true, false, false},
        {"chrome(1).exe", true, false, false},    {"chrome+.exe", true, false, false},
        {"obs64.exe", true, false, false},        {"my-updater_2.exe", false, false, true},
        {"opera gx.exe", false, false, true},     {"notepad.exe", true, false, false},
        {"steamwebhelper.exe", false, false, true}, {"steamwebhelper.exe", false, true, false},
    };
    std::uint32_t pid = 2000;
    for (const auto& [name, aggressive, protectGamingTools, ended] : cases) {
        sim::SimProcess& p = machine.addProcess(++pid, 1, name);
        lines().clear();
        EXPECT_EQ(Zelkor_KillBackgroundProcessesW(aggressive, protectGamingTools ? 7 : 0), ended ? 1u : 0u) << name;
        const std::string terminated = std::string("[Kill] Terminated: ") + name + " (pid=" + std::to_string(pid) + ")";
        EXPECT_EQ(!p.alive, ended) << name;
        EXPECT_EQ(p.exitCode, ended ? 1u : win::STILL_ACTIVE) << name;
        EXPECT_EQ(std::ranges::count(lines(), terminated), ended ? 1 : 0) << name;
        EXPECT_EQ(lines().back(), "[Kill] Background cleanup done.");
        machine.removeProcess(pid);
    }
}

TEST_F(KillRules, SparesItselfAndSkipsWhatItCannotOpen) {
    machine.setCurrentProcessId(3000);
    machine.addProcess(3000, 1, "chrome.exe");
    machine.addProcess(3001, 1, "msedge.exe").deniedAccess = win::PROCESS_TERMINATE;
    machine.addProcess(3002, 1, "slack.exe");
    EXPECT_EQ(Zelkor_KillBackgroundProcessesW(0, 0), 1u);
    EXPECT_TRUE(machine.process(3000)->alive);
    EXPECT_TRUE(machine.process(3001)->alive);
    EXPECT_FALSE(machine.process(3002)->alive);
}

TEST_F(KillRules, StreamingToolsInAnyCaseAndNothingWithoutASnapshot) {
    machine.addProcess(4000, 1, "chrome.exe");
    EXPECT_EQ(Zelkor_IsStreamingActiveW(), 0);
    machine.addProcess(4001, 1, "Streamlabs OBS.exe");
    EXPECT_EQ(Zelkor_IsStreamingActiveW(), 1);
    machine.failOp(sim::Op::CreateProcessSnapshot, win::ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(Zelkor_IsStreamingActiveW(), 0);
    EXPECT_EQ(Zelkor_KillBackgroundProcessesW(1, 0), 0u);
    EXPECT_EQ(lines(), std::vector<std::string>{"[Kill] Failed to create snapshot."});
}

// A second first caller arrives while the first is inside the set-up (held there by the
// set-up's own line): it waits, and the set-up runs once. The hold is a bounded number of
// yields, so a second caller that raced the set-up is caught almost always, never falsely.
std::atomic<int> g_setUpLines{0};
std::atomic<bool> g_secondStarted{false};
std::thread g_second;
void ZK_CALL holdInsideTheSetUp(const zk_wchar* line) {
    const zk_wchar* want = reinterpret_cast<const zk_wchar*>(u"[BoostUtil] Lazy init (no DllMain).");
    if (std::char_traits<zk_wchar>::compare(line, want, 36) != 0 || ++g_setUpLines > 1) return;
    g_second = std::thread([] { g_secondStarted = true, Zelkor_IsStreamingActiveW(); });
    while (!g_secondStarted) std::this_thread::yield();
    for (int i = 0; i < 5000 && g_setUpLines == 1; ++i) std::this_thread::yield();
}

TEST_F(KillRules, ConcurrentFirstCallsSetUpOnce) {
    g_setUpLines = 0, g_secondStarted = false;
    boostutil::boostUtil().resetForTests();
    boostutil::boostUtil().setCallback(&holdInsideTheSetUp);  // not set up yet
    machine.addProcess(4001, 1, "obs64.exe");
    EXPECT_EQ(Zelkor_IsStreamingActiveW(), 1);
    g_second.join();
    EXPECT_EQ(g_setUpLines, 1);
}

}  // namespace
}  // namespace zk::test
