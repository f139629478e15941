// The restore sequence over a simulated machine: its lines in order, what it changes, and
// how each step reports a failure without stopping the rest.

#include <functional>

#include "restore_fixture.h"

namespace zk::test {
namespace {

using Lines = std::vector<std::string>;
using platform::Routine;

class StatelessRestore : public RestoreTest {
protected:
    void SetUp() override {
        RestoreTest::SetUp();
        machine.setLogicalProcessorCount(8);
    }
    Lines restore(int startServices = 0, int flushDns = 0) {
        EXPECT_EQ(Zelkor_Stateless_System_Restore(startServices, flushDns), 1);
        return drain();
    }
    static bool has(const Lines& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    sim::SimProcess& user(std::uint32_t pid, const char* name = "game.exe") {
        sim::SimProcess& p = machine.addProcess(pid, 1, name);
        p.priorityClass = win::IDLE_PRIORITY_CLASS;
        p.affinity = 0x3;
        return p;
    }
};

TEST_F(StatelessRestore, LinesInOrderAndWhatChanged) {
    sim::SimProcess& game = user(100);
    sim::SimProcess& skipped = user(101, "SvcHost.EXE");
    sim::SimProcess& system = user(102, "spoolsv.exe");
    system.userSid = "S-1-5-18";
    user(103, "net.exe").userSid = "S-1-5-20";
    user(104, "prot.exe").protectionLevel = 0x31;
    user(105, "odd.exe").userSid = "S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12";  // a user record over 68 bytes
    user(3, "early.exe");
    user(5, "first.exe");  // the first id past the system's own
    user(106, "");
    machine.addService("bits", win::SERVICE_STOPPED, win::SERVICE_DEMAND_START);
    machine.addService("W32Time", win::SERVICE_STOPPED, win::SERVICE_DISABLED);
    machine.addService("Spooler", win::SERVICE_STOPPED, win::SERVICE_DISABLED);

    EXPECT_EQ(restore(), (Lines{"=== STATELESS RESTORE START ===",
                                "SUCCESS: User processes normalized (count=3)",  // with this program
                                "SUCCESS: Timer resolution release attempted (stateless)",
                                "SUCCESS: Power plan restored to Balanced",
                                "SUCCESS: Core service defaults applied (changed=2)",
                                "INFO: IO module not found; skipping Zelkor_IOTuner_Restore()",
                                "=== STATELESS RESTORE COMPLETE ==="}));
    EXPECT_EQ(game.priorityClass, win::NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(game.affinity, 0xFFu);
    EXPECT_EQ(skipped.priorityClass, win::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(system.priorityClass, win::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(machine.process(105)->priorityClass, win::IDLE_PRIORITY_CLASS);
    EXPECT_EQ(machine.service(u"bits")->startType, win::SERVICE_AUTO_START);
    EXPECT_TRUE(machine.service(u"bits")->delayedAutoStart);
    EXPECT_EQ(machine.service(u"W32Time")->startType, win::SERVICE_DEMAND_START);
    EXPECT_EQ(machine.service(u"Spooler")->startType, win::SERVICE_DISABLED);
    EXPECT_EQ(machine.service(u"bits")->state, win::SERVICE_STOPPED) << "nothing started unless asked";
    EXPECT_TRUE(machine.privilegeEnabled("SeDebugPrivilege"));
    const auto changes = machine.changes();
    EXPECT_TRUE(has(changes, "PowerSetActiveScheme 381b4222-f694-41f0-9685-ff5bb260df2e"));
    EXPECT_TRUE(has(changes, "NtSetTimerResolution 0 release"));
    EXPECT_NE(machine.fileText(kLogFile).find("] === STATELESS RESTORE COMPLETE ===\r\n"), std::string::npos);
}

TEST_F(StatelessRestore, StartsCoreServicesAndFlushesTheCache) {
    machine.addService("RpcSs", win::SERVICE_STOPPED, win::SERVICE_AUTO_START).pendingPolls = 2;
    machine.addService("Winmgmt", win::SERVICE_RUNNING, win::SERVICE_AUTO_START);
    machine.addService("Dhcp", win::SERVICE_START_PENDING, win::SERVICE_AUTO_START).pendingLeft = 3;
    machine.addService("bits", win::SERVICE_STOPPED, win::SERVICE_AUTO_START).startError = 1056;
    machine.addService("wuauserv", win::SERVICE_STOPPED, win::SERVICE_DISABLED);  // demand start by then
    machine.addService("msiserver", win::SERVICE_STOPPED, win::SERVICE_DEMAND_START).startError = 1053;
    machine.addService("Schedule", win::SERVICE_STOPPED, win::SERVICE_AUTO_START).pendingPolls = 1000;
    // A paused one, one stopping and one refusing stops: each counts as running (1056).
    machine.addService("Power", sim::kServicePaused, win::SERVICE_AUTO_START);
    machine.addService("EventLog", win::SERVICE_STOP_PENDING, win::SERVICE_AUTO_START).pendingLeft = 1000;
    machine.addService("PlugPlay", win::SERVICE_RUNNING, win::SERVICE_AUTO_START).acceptsStop = false;
    const std::uint64_t t0 = machine.nowNs();
    const Lines lines = restore(1, 1);
    EXPECT_TRUE(has(lines, "SUCCESS: Core service defaults applied (changed=10)"));
    EXPECT_TRUE(has(lines, "SUCCESS: Core services start attempted (ok=8)"));
    EXPECT_TRUE(has(lines, "SUCCESS: DNS cache flushed"));
    EXPECT_EQ(machine.service(u"wuauserv")->state, win::SERVICE_RUNNING);
    // Schedule's 15 s limit, four 250 ms polls while RpcSs and Dhcp start, and 60 ms after each of the 21.
    EXPECT_EQ(machine.nowNs() - t0, (15000 + 4 * 250 + 21 * 60) * 1000000ull);
}

TEST_F(StatelessRestore, EachFailureIsALineAndTheSequenceGoesOn) {
    const std::tuple<const char*, std::function<void(sim::SimMachine&)>, std::string> cases[] = {
        {"snapshot", [](auto& m) { m.failOp(sim::Op::CreateProcessSnapshot, 8); },
         "ERROR: CreateToolhelp32Snapshot failed (GetLastError=0x00000008)"},
        {"timer", [](auto& m) { m.hideRoutine(Routine::NtSetTimerResolution); },
         "INFO: NtSetTimerResolution not available; skipping timer reset"},
        {"power", [](auto& m) { m.failOp(sim::Op::PowerSetActiveScheme, 5); },
         "WARNING: Power plan restore failed (OEM/GPO override possible)"},
        {"service manager", [](auto& m) { m.failOp(sim::Op::OpenServiceManager, 5); },
         "WARNING: OpenSCManager failed (core defaults skipped) (GetLastError=0x00000005)"},
        {"dnsapi", [](auto& m) { m.failOp(sim::Op::LoadDnsApi, 5); },
         "INFO: LoadLibrary(dnsapi.dll) failed (DNS flush skipped) (GetLastError=0x00000005)"},
        {"dns routine", [](auto& m) { m.hideRoutine(Routine::DnsFlushResolverCache); },
         "INFO: GetProcAddress(DnsFlushResolverCache) failed (DNS flush skipped) (GetLastError=0x0000007F)"},
        {"dns flush error", [](auto& m) { m.failOp(sim::Op::DnsFlushResolverCache, 126); },
         "WARNING: DNS flush failed (GetLastError=0x0000007E)"},
    };
    for (const auto& [what, fault, line] : cases) {
        sim::SimMachine m;
        sim::ScopedMachine scope(m);
        common::resetAllModules();
        fault(m);
        const Lines lines = restore(1, 1);
        EXPECT_TRUE(has(lines, line)) << what;
        EXPECT_EQ(lines.back(), "=== STATELESS RESTORE COMPLETE ===") << what;
        EXPECT_EQ(has(lines, "SUCCESS: Core services start attempted (ok=0)"), what != std::string("service manager"));
        EXPECT_EQ(has(lines, "SUCCESS: User processes normalized (count=1)"), what != std::string("snapshot"));
        EXPECT_EQ(m.openHandleCount(), 0u) << what;
    }
}

TEST_F(StatelessRestore, NormalisationEdges) {
    user(100);
    user(101, "other.exe");
    machine.setProcessorGroups({64, 64});
    machine.failOp(sim::Op::SetPriorityClass, 5);
    const Lines lines = restore();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "INFO: Multi-group CPU detected; skipping process affinity reset"), 3);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "WARNING: SetPriorityClass(NORMAL) failed (GetLastError=0x00000005)"), 3);
    EXPECT_TRUE(has(lines, "SUCCESS: User processes normalized (count=3)")) << "a failed change still counts";
    EXPECT_EQ(machine.process(100)->affinity, 0x3u);

    machine.clearFaults();
    machine.hideRoutine(Routine::GetProcessInformation);
    EXPECT_TRUE(has(restore(), "SUCCESS: User processes normalized (count=0)")) << "no protection query: all protected";
    machine.hideRoutine(Routine::GetProcessInformation, false);
    machine.failOp(sim::Op::OpenProcessTokenOf, 5);
    EXPECT_TRUE(has(restore(), "SUCCESS: User processes normalized (count=0)"));
    machine.clearFaults();
    machine.process(100)->deniedAccess = win::PROCESS_SET_INFORMATION;
    EXPECT_TRUE(has(restore(), "SUCCESS: User processes normalized (count=3)")) << "the debug privilege overrides it";
    machine.process(100)->protectionLevel = sim::kProtectedLevel;  // it refuses setting, debug privilege or not
    EXPECT_TRUE(has(restore(), "SUCCESS: User processes normalized (count=2)"));
    machine.setProcessorGroups({0});  // no active processors counted (the count query failed): no mask to set
    const Lines none = restore();
    EXPECT_TRUE(std::none_of(none.begin(), none.end(), [](auto& l) { return l.find("SetProcessAffinityMask") != l.npos; }));
    machine.setProcessorGroups({8});
    machine.failOp(sim::Op::SetProcessAffinityMask, 5, 1);
    EXPECT_TRUE(has(restore(), "WARNING: SetProcessAffinityMask failed (GetLastError=0x00000005)"));
}

int tunerCalls = 0;
void ZK_CALL tunerRestore() { ++tunerCalls; }
void ZK_CALL wrongTunerRestore() { tunerCalls += 100; }

TEST_F(StatelessRestore, IoTunerOnlyFromKnownFolders) {
    using Folder = sim::SimMachine::ModuleFolder;
    const std::map<std::string, void*> exports{{"Zelkor_IOTuner_Restore", reinterpret_cast<void*>(&tunerRestore)}};
    const std::string found = "SUCCESS: IO priorities restored (Zelkor_IOTuner_Restore)";
    const std::map<std::string, void*> wrong{{"Zelkor_IOTuner_Restore", reinterpret_cast<void*>(&wrongTunerRestore)}};
    const std::string none = "INFO: IO module not found; skipping Zelkor_IOTuner_Restore()";
    const std::tuple<const char*, std::function<void(sim::SimMachine&)>, std::string, int> cases[] = {
        {"planted in the current directory", [&](auto& m) { m.addModuleFile(Folder::Current, u"io_tuner.dll", exports); },
         none, 0},
        {"beside the host", [&](auto& m) { m.addModuleFile(Folder::Host, u"ZelkorIOTuner.dll", exports); }, found, 1},
        {"beside the library", [&](auto& m) { m.addModuleFile(Folder::Library, u"zelkor_iotuner.DLL", exports); },
         found, 1},
        {"a name beside the library before the next name beside the host",
         [&](auto& m) {
             m.addModuleFile(Folder::Library, u"io_tuner.dll", exports);
             m.addModuleFile(Folder::Host, u"zelkor_io_tuner.dll", wrong);
         },
         found, 1},
        {"a name beside the host before the same beside the library",
         [&](auto& m) {
             m.addModuleFile(Folder::Host, u"zelkor_io_tuner.dll", exports);
             m.addModuleFile(Folder::Library, u"zelkor_io_tuner.dll", wrong);
         },
         found, 1},
        {"loaded already", [&](auto& m) { m.addModuleFile(Folder::Current, u"Zelkor_IO_Tuner.dll", exports, true); },
         found, 1},
        {"without the export", [&](auto& m) { m.addModuleFile(Folder::Host, u"io_tuner.dll", {}); },
         "WARNING: GetProcAddress(Zelkor_IOTuner_Restore) failed (GetLastError=0x0000007F)", 0},
    };
    for (const auto& [what, place, line, calls] : cases) {
        sim::SimMachine m;
        sim::ScopedMachine scope(m);
        common::resetAllModules();
        tunerCalls = 0;
        place(m);
        EXPECT_TRUE(has(restore(), line)) << what;
        EXPECT_EQ(tunerCalls, calls) << what;
        EXPECT_FALSE(m.moduleLoaded(Folder::Current, u"io_tuner.dll")) << what;
    }
}

}  // namespace
}  // namespace zk::test
