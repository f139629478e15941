// The simulated machine's own rules: where Windows refuses, it refuses too, so that a
// module cannot pass its tests on a kinder machine than the real one.

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <functional>
#include <string>
#include <tuple>

#include "platform/privilege.h"
#include "platform/system_info.h"
#include "support/machine_fixture.h"

namespace zk {
namespace {

using platform::ProcessHandle;
using sim::Op;

class SimRulesTest : public test::MachineTest {
protected:
    void SetUp() override { machine.addProcess(500, 1, "app.exe"); }
    ProcessHandle open(std::uint32_t access, std::uint32_t pid = 500) {
        return machine.processes().openProcess(access, false, pid);
    }
    platform::Processes& procs() { return machine.processes(); }
};

TEST_F(SimRulesTest, HandlesCloseOnceAndOnlyWithTheirOwnCloser) {
    ProcessHandle h = open(win::PROCESS_QUERY_LIMITED_INFORMATION);
    ASSERT_TRUE(h);
    const platform::RawHandle raw = h.get();
    EXPECT_FALSE(machine.closeHandle(platform::HandleKind::Token, raw));
    EXPECT_EQ(machine.lastError(), win::ERROR_INVALID_HANDLE);
    EXPECT_EQ(machine.openHandleCount(), 1u);
    h.reset();
    EXPECT_EQ(machine.openHandleCount(), 0u);
    EXPECT_FALSE(machine.closeHandle(platform::HandleKind::Process, raw));
    EXPECT_EQ(machine.lastError(), win::ERROR_INVALID_HANDLE);
    // A closed handle is no longer a way into the process.
    std::uint32_t code = 0;
    EXPECT_FALSE(procs().getExitCodeProcess(ProcessHandle::unowned(raw), code));
}

TEST_F(SimRulesTest, EveryRequiredRightIsChecked) {
    using Call = std::function<bool(const ProcessHandle&)>;
    // The call, a handle with every right it needs but one, and one with them all.
    using Case = std::tuple<const char*, Call, std::uint32_t, std::uint32_t>;
    std::uint32_t u32 = 0;
    std::uint64_t a = 0, b = 0;
    platform::ProcessTimes times;
    platform::MemoryCounters memory;
    platform::IoCounters io;
    const Case cases[] = {
        {"EmptyWorkingSet", [&](auto& h) { return procs().emptyWorkingSet(h); }, win::PROCESS_SET_QUOTA,
         win::PROCESS_SET_QUOTA | win::PROCESS_QUERY_LIMITED_INFORMATION},
        {"EmptyWorkingSet with full query", [&](auto& h) { return procs().emptyWorkingSet(h); },
         win::PROCESS_QUERY_INFORMATION, win::PROCESS_SET_QUOTA | win::PROCESS_QUERY_INFORMATION},
        {"GetProcessTimes", [&](auto& h) { return procs().getProcessTimes(h, times); }, win::PROCESS_SET_INFORMATION,
         win::PROCESS_QUERY_INFORMATION},
        {"GetProcessAffinityMask", [&](auto& h) { return procs().getProcessAffinityMask(h, a, b); },
         win::PROCESS_SET_INFORMATION, win::PROCESS_QUERY_LIMITED_INFORMATION},
        {"SetPriorityClass", [&](auto& h) { return procs().setPriorityClass(h, win::IDLE_PRIORITY_CLASS); },
         win::PROCESS_QUERY_INFORMATION, win::PROCESS_SET_INFORMATION},
        {"TerminateProcess", [&](auto& h) { return procs().terminateProcess(h, 1); }, win::PROCESS_SET_INFORMATION,
         win::PROCESS_TERMINATE},
        {"GetExitCodeProcess", [&](auto& h) { return procs().getExitCodeProcess(h, u32); }, win::PROCESS_TERMINATE,
         win::PROCESS_QUERY_LIMITED_INFORMATION},
        // Memory counters need VM read beside either query right; I/O counters a query right.
        {"GetProcessMemoryInfo", [&](auto& h) { return procs().getProcessMemoryInfo(h, memory); },
         win::PROCESS_QUERY_INFORMATION, win::PROCESS_QUERY_LIMITED_INFORMATION | win::PROCESS_VM_READ},
        {"GetProcessMemoryInfo without a query right", [&](auto& h) { return procs().getProcessMemoryInfo(h, memory); },
         win::PROCESS_VM_READ, win::PROCESS_QUERY_INFORMATION | win::PROCESS_VM_READ},
        {"GetProcessIoCounters", [&](auto& h) { return procs().getProcessIoCounters(h, io); }, win::PROCESS_VM_READ,
         win::PROCESS_QUERY_LIMITED_INFORMATION},
    };
    for (const auto& [what, call, refused, granted] : cases) {
        SCOPED_TRACE(what);
        machine.addProcess(500, 1, "app.exe");
        EXPECT_FALSE(call(open(refused)));
        EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED);
        EXPECT_TRUE(call(open(granted)));
    }
}

TEST_F(SimRulesTest, OutputsAreWrittenOnlyOnSuccess) {
    const ProcessHandle none = open(win::PROCESS_TERMINATE);  // no query right
    platform::ProcessTimes times{1, 2, 3, 4};
    EXPECT_FALSE(procs().getProcessTimes(none, times));
    EXPECT_EQ(times.user, 4u);
    std::u16string path = u"kept";
    EXPECT_FALSE(procs().queryFullProcessImageName(none, path));
    EXPECT_EQ(path, u"kept");
    std::uint32_t value = 7, returned = 9;
    EXPECT_EQ(procs().ntQueryInformationProcess(none, win::ProcessIoPriority, &value, 4, &returned),
              win::STATUS_ACCESS_DENIED);
    EXPECT_EQ(value + returned, 16u);
}

TEST_F(SimRulesTest, BackgroundModeIsForTheCallingProcessOnlyByAnyHandle) {
    const ProcessHandle other = open(win::PROCESS_SET_INFORMATION);
    EXPECT_FALSE(procs().setPriorityClass(other, win::PROCESS_MODE_BACKGROUND_BEGIN));
    EXPECT_EQ(machine.lastError(), win::ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(machine.process(500)->backgroundMode);

    const ProcessHandle self = open(win::PROCESS_SET_INFORMATION, 1000);
    EXPECT_FALSE(procs().setPriorityClass(self, win::PROCESS_MODE_BACKGROUND_END));
    EXPECT_EQ(machine.lastError(), win::ERROR_PROCESS_MODE_NOT_BACKGROUND);
    EXPECT_TRUE(procs().setPriorityClass(self, win::PROCESS_MODE_BACKGROUND_BEGIN));
    EXPECT_FALSE(procs().setPriorityClass(self, win::PROCESS_MODE_BACKGROUND_BEGIN));
    EXPECT_EQ(machine.lastError(), win::ERROR_PROCESS_MODE_ALREADY_BACKGROUND);
    EXPECT_TRUE(procs().setPriorityClass(self, win::PROCESS_MODE_BACKGROUND_END));
    // The current process's pseudo handle is valid too, and never closed.
    {
        const ProcessHandle pseudo = platform::Processes::currentProcess();
        ASSERT_TRUE(pseudo);
        EXPECT_TRUE(procs().setPriorityClass(pseudo, win::PROCESS_MODE_BACKGROUND_BEGIN));
        EXPECT_EQ(machine.process(1000)->backgroundMode, true);
    }
    EXPECT_EQ(machine.callCount(Op::CloseHandle), 0u);
}

TEST_F(SimRulesTest, HighIoPriorityAndTheStandbyPurgeNeedTheirPrivileges) {
    EXPECT_EQ(platform::purgeStandbyList(), win::STATUS_PRIVILEGE_NOT_HELD);
    EXPECT_TRUE(machine.changes().empty());
    ASSERT_TRUE(platform::enablePrivilege("SeProfileSingleProcessPrivilege").enabled());
    EXPECT_EQ(platform::purgeStandbyList(), win::STATUS_SUCCESS);
    const ProcessHandle h = open(win::PROCESS_SET_INFORMATION);
    const std::uint32_t high = 3, critical = 4;
    EXPECT_EQ(procs().ntSetInformationProcess(h, win::ProcessIoPriority, &high, 4), win::STATUS_PRIVILEGE_NOT_HELD);
    ASSERT_TRUE(platform::enablePrivilege("SeIncreaseBasePriorityPrivilege").enabled());
    EXPECT_EQ(procs().ntSetInformationProcess(h, win::ProcessIoPriority, &high, 4), win::STATUS_SUCCESS);
    EXPECT_EQ(procs().ntSetInformationProcess(h, win::ProcessIoPriority, &critical, 4), win::STATUS_INVALID_PARAMETER);
    EXPECT_EQ(machine.process(500)->ioPriority, 3u);
}

TEST_F(SimRulesTest, ProcessorGroupsHoldAtMostSixtyFour) {
    struct Case {
        std::uint32_t total, groups, inGroup;
    } const cases[] = {{8, 1, 8}, {64, 1, 64}, {65, 2, 33}, {70, 2, 35}, {256, 4, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.total);
        machine.setLogicalProcessorCount(c.total);
        EXPECT_EQ(machine.system().activeProcessorGroupCount(), c.groups);
        EXPECT_EQ(machine.system().logicalProcessorCount(), c.inGroup);
        EXPECT_EQ(machine.system().activeProcessorCount(platform::kAllProcessorGroups), c.total);
    }
    EXPECT_THROW(machine.setProcessorGroups({65}), std::invalid_argument);
    machine.setProcessorGroups({4, 4});
    const ProcessHandle h = open(win::PROCESS_SET_INFORMATION);
    EXPECT_FALSE(procs().setProcessAffinityMask(h, 0x10));  // a processor of the other group
    EXPECT_EQ(machine.lastError(), win::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(procs().setProcessAffinityMask(h, 0x8));
}

TEST_F(SimRulesTest, ReferencesStayValidAfterARemoval) {
    sim::SimProcess& p = machine.addProcess(600, 1, "gone.exe");
    machine.removeProcess(600);
    p.priorityClass = win::IDLE_PRIORITY_CLASS;  // no use after free
    EXPECT_EQ(machine.process(600), nullptr);
    EXPECT_FALSE(open(win::PROCESS_QUERY_LIMITED_INFORMATION, 600));
    sim::SimProcess& again = machine.addProcess(500, 1, "renamed.exe");
    EXPECT_EQ(&again, machine.process(500));  // the same entry, replaced in place
}

TEST_F(SimRulesTest, PowerSchemesAreNamedAndCoreRecordsSized) {
    platform::Power& power = machine.power();
    const platform::Guid unknown{1, 2, 3, {}};
    EXPECT_EQ(power.powerSetActiveScheme(nullptr), win::ERROR_INVALID_PARAMETER) << "no null for the active one";
    EXPECT_EQ(power.powerSetActiveScheme(&unknown), win::ERROR_FILE_NOT_FOUND);
    std::uint32_t value = 7;
    EXPECT_EQ(power.powerReadAcValueIndex(nullptr, &unknown, &unknown, value), win::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(value, 7u) << "written on success only";
    EXPECT_TRUE(machine.changes().empty());
    std::uint32_t length = 0;
    EXPECT_FALSE(machine.system().getLogicalProcessorInformationEx(win::RelationProcessorCore, nullptr, length));
    EXPECT_EQ(machine.lastError(), win::ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(length, 4 * sim::SimSystem::kCoreRecordBytes);
}

TEST_F(SimRulesTest, ServicesAnswerAsTheServiceManagerDoes) {
    platform::Services& svc = machine.services();
    machine.addService("Locked", win::SERVICE_STOPPED, win::SERVICE_DEMAND_START).allowedAccess =
        win::SERVICE_QUERY_STATUS;
    const platform::ServiceManagerHandle scm = svc.openServiceManager(win::SC_MANAGER_CONNECT);
    const auto open = [&](const char16_t* name, std::uint32_t access) { return svc.openService(scm, name, access); };
    EXPECT_FALSE(open(u"NoSuch", win::SERVICE_QUERY_STATUS));
    EXPECT_EQ(machine.lastError(), win::ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_FALSE(open(u"Locked", win::SERVICE_QUERY_STATUS | win::SERVICE_START));
    EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED);
    const auto queryOnly = open(u"LOCKED", win::SERVICE_QUERY_STATUS);  // names are case-insensitive
    EXPECT_EQ(svc.startService(queryOnly) || svc.changeServiceStartType(queryOnly, 4) ? 0u : machine.lastError(), 5u);

    // A stop by state, as ControlService's table of states gives it, and whether a start follows.
    constexpr std::uint32_t kAll = win::SERVICE_QUERY_STATUS | win::SERVICE_STOP | win::SERVICE_START |
                                   win::SERVICE_CHANGE_CONFIG;
    // The state, whether the service accepts a stop, and the stop's error (0: the stop is sent).
    const std::tuple<std::uint32_t, bool, std::uint32_t> stops[] = {
        {win::SERVICE_RUNNING, true, 0},
        {sim::kServicePaused, true, 0},
        {sim::kServicePausePending, true, 0},
        {sim::kServiceContinuePending, true, 0},
        {win::SERVICE_RUNNING, false, 1052},  // ERROR_INVALID_SERVICE_CONTROL
        {win::SERVICE_STOPPED, true, win::ERROR_SERVICE_NOT_ACTIVE},
        {win::SERVICE_STOP_PENDING, true, win::ERROR_SERVICE_CANNOT_ACCEPT_CTRL},
        {win::SERVICE_START_PENDING, true, win::ERROR_SERVICE_CANNOT_ACCEPT_CTRL},
    };
    platform::ServiceStatus status;
    for (const auto& [state, acceptsStop, error] : stops) {
        machine.addService("Svc", state, win::SERVICE_DEMAND_START).acceptsStop = acceptsStop;
        const auto h = open(u"svc", kAll);
        EXPECT_EQ(svc.controlService(h, win::SERVICE_CONTROL_STOP, status) ? 0u : machine.lastError(), error) << state;
        EXPECT_EQ(machine.service(u"Svc")->state, error ? state : win::SERVICE_STOP_PENDING) << state;
        // Started only from stopped (a stop pending: the documentation is silent; 1056).
        EXPECT_EQ(svc.startService(h) ? 0u : machine.lastError(),
                  state == win::SERVICE_STOPPED ? 0u : win::ERROR_SERVICE_ALREADY_RUNNING)
            << state;
    }
    // Transitions take pendingPolls status queries.
    machine.addService("Svc", win::SERVICE_STOPPED, win::SERVICE_DISABLED).pendingPolls = 1;
    const auto h = open(u"Svc", kAll);
    EXPECT_EQ(svc.startService(h) ? 0u : machine.lastError(), win::ERROR_SERVICE_DISABLED);
    ASSERT_TRUE(svc.changeServiceStartType(h, win::SERVICE_DEMAND_START) && svc.startService(h));
    for (std::uint32_t state : {win::SERVICE_START_PENDING, win::SERVICE_RUNNING}) {
        ASSERT_TRUE(svc.queryServiceStatus(h, status));
        EXPECT_EQ(status.currentState, state);
    }
    EXPECT_EQ(status.controlsAccepted, 1u) << "SERVICE_ACCEPT_STOP";
    machine.clearChanges();
    const std::pair<std::uint32_t, bool> startTypes[] = {
        {0, false}, {1, false}, {2, true}, {3, true}, {4, true}, {5, false}, {0xFFFFFFFF, true}};
    for (const auto& [type, accepted] : startTypes)
        EXPECT_EQ(svc.changeServiceStartType(h, type) ? 0u : machine.lastError(), accepted ? 0u : 87u) << type;
    EXPECT_EQ(machine.service(u"Svc")->startType, 4u) << "boot and system start are for drivers; no change keeps 4";
    EXPECT_EQ(machine.changes().size(), 3u);
}

TEST_F(SimRulesTest, ModuleThreadsRunDetachedAndTheMachineOutlivesThem) {
    std::atomic<int> ran{0};
    ASSERT_TRUE(machine.modules().startModuleThread([&] {
        ++ran;
        throw std::runtime_error("ends the thread quietly");
    }));
    ASSERT_TRUE(machine.modules().startModuleThread([&] { ++ran; }));
    machine.failOp(Op::StartModuleThread, win::ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_FALSE(machine.modules().startModuleThread([&] { ran += 100; }));
    EXPECT_EQ(machine.lastError(), win::ERROR_NOT_ENOUGH_MEMORY);
    machine.joinModuleThreads();
    EXPECT_EQ(ran.load(), 2);
    EXPECT_EQ(machine.moduleThreadsRunning(), 0u);
}

TEST(SimMachineTest, Utf8InvalidSequencesBecomeReplacementCharacters) {
    sim::SimMachine m;
    const std::pair<const char*, std::u16string> cases[] = {
        {"abc", u"abc"},
        {"\xF0\x9F\x8E\xAE", u"\U0001F3AE"},  // a surrogate pair
        {"a\x80z", u"a\uFFFDz"},
        {"a\xE2\x86z", u"a\uFFFDz"},  // truncated
        {"\xC0\xAF", u"\uFFFD"},      // overlong
        {"\xED\xA0\x80", u"\uFFFD"},  // surrogate
        {"x\xC3", u"x\uFFFD"},        // cut at the end
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(m.system().utf8ToWide(in), out) << in;
}

}  // namespace
}  // namespace zk
