// Starting and stopping services by list: each path's lines, the waits on the simulated
// clock, and the names handed back.

#include "boostutil_fixture.h"

namespace zk::test {
namespace {

using Lines = std::vector<std::string>;

class ServiceControl : public BoostUtilTest {
protected:
    sim::SimService& add(const char* name, std::uint32_t state, std::uint32_t startType = win::SERVICE_DEMAND_START) {
        return machine.addService(name, state, startType);
    }
    std::uint64_t elapsedMs(std::uint64_t sinceNs) { return (machine.nowNs() - sinceNs) / 1000000; }
};

TEST_F(ServiceControl, StartPaths) {
    const std::uint32_t pending = win::SERVICE_START_PENDING;
    const std::tuple<const char*, sim::SimService, bool, Lines> cases[] = {
        {"running", {.name = u"Svc", .state = win::SERVICE_RUNNING}, true, {"[Start] Already running: Svc"}},
        {"pending, then running", {.name = u"Svc", .state = pending, .pendingLeft = 3}, true,
         {"[Start] Became running (was pending): Svc"}},
        {"pending for good", {.name = u"Svc", .state = pending, .pendingLeft = 1000}, false,
         {"[Start] Still pending after timeout, skip: Svc"}},
        {"stopped", {.name = u"Svc", .pendingPolls = 2}, true, {"[Start] Started: Svc"}},
        {"slow to start", {.name = u"Svc", .pendingPolls = 1000}, true,
         {"[Start] Start issued but not running yet: Svc", "[Start] Already running (race): Svc"}},
        {"disabled", {.name = u"Svc", .startType = win::SERVICE_DISABLED}, false,
         {"[Start] Disabled, can't start: Svc"}},
        {"denied", {.name = u"Svc", .startError = win::ERROR_ACCESS_DENIED}, false, {"[Start] Access denied: Svc"}},
        {"raced", {.name = u"Svc", .startError = 1056}, true, {"[Start] Already running (race): Svc"}},
        {"failing", {.name = u"Svc", .startError = 1053}, false, Lines(3, "[Start] StartService failed: Svc err=1053")},
        {"not openable to start", {.name = u"Svc", .allowedAccess = win::SERVICE_QUERY_STATUS}, false,
         {"[Start] Service not found or access denied: Svc"}},
    };
    for (const auto& [what, setUp, runs, want] : cases) {
        add("Svc", win::SERVICE_STOPPED) = setUp;
        lines().clear();
        EXPECT_EQ(Zelkor_StartServicesW(u"Svc", 0), runs ? 1u : 0u) << what;
        Lines expected = want;
        expected.push_back("[Start] Start-only completed.");
        EXPECT_EQ(lines(), expected) << what;
    }
}

TEST_F(ServiceControl, StartWaitsAndPauses) {
    add("Fail", win::SERVICE_STOPPED).startError = 1053;
    std::uint64_t t0 = machine.nowNs();
    Zelkor_StartServicesW(u"Fail", 0);
    EXPECT_EQ(elapsedMs(t0), 2 * 600u + 50u) << "a pause between the three attempts, then the service's";

    add("A", win::SERVICE_RUNNING);
    add("B", win::SERVICE_RUNNING);
    for (int delay : {0, -5, 49}) {
        t0 = machine.nowNs();
        EXPECT_EQ(Zelkor_StartServicesW(u"A,B", delay), 2u);
        EXPECT_EQ(elapsedMs(t0), 100u) << "at least 50 ms after each service";
    }
    t0 = machine.nowNs();
    Zelkor_StartServicesW(u"A, nosuch ,B", 120);
    EXPECT_EQ(elapsedMs(t0), 360u) << "after every name, found or not";

    sim::SimService& slow = add("Slow", win::SERVICE_START_PENDING);
    slow.pendingLeft = 1000;
    t0 = machine.nowNs();
    Zelkor_StartServicesW(u"Slow", 0);
    EXPECT_EQ(elapsedMs(t0), 8000u + 50u) << "the wait gives up at 8 s";
}

TEST_F(ServiceControl, RefusalsBeforeAnyService) {
    EXPECT_EQ(Zelkor_StartServicesW(nullptr, 0), 0u);
    zk_wchar out[4] = {u'x', u'x', 0, 0};
    EXPECT_EQ(Zelkor_StopServicesW(nullptr, out, 4), 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(Zelkor_StopServicesW(nullptr, nullptr, 4), 0u);
    EXPECT_EQ(lines(), (Lines{"[Start] NULL servicesCsv.", "[Stop] NULL servicesCsv.", "[Stop] NULL servicesCsv."}));

    lines().clear();
    add("Svc", win::SERVICE_RUNNING);
    machine.failOp(sim::Op::OpenServiceManager, win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(Zelkor_StartServicesW(u"Svc", 0), 0u);
    EXPECT_EQ(Zelkor_StopServicesW(u"Svc", nullptr, 0), 0u);
    EXPECT_EQ(lines(), (Lines{"[Start] OpenSCManager failed.", "[Start] Start-only completed.",
                              "[Stop] OpenSCManager failed.", "[Stop] Completed stop_services."}));

    lines().clear();
    const std::u16string longName(257, u'a');
    Zelkor_StartServicesW(u"has space", 0);
    Zelkor_StopServicesW((longName + u",Power,POWER").c_str(), nullptr, 0);
    EXPECT_EQ(lines(), (Lines{"[Start] Invalid service name, skip: has space", "[Start] Start-only completed.",
                              "[Stop] Invalid service name, skip: " + std::string(257, 'a'),
                              "[Stop] Service on critical blacklist, skip: Power",
                              "[Stop] Service on critical blacklist, skip: POWER", "[Stop] Completed stop_services."}));
}

TEST_F(ServiceControl, StopPaths) {
    add("Running", win::SERVICE_RUNNING).pendingPolls = 2;
    add("Stopped", win::SERVICE_STOPPED);
    add("Stuck", win::SERVICE_RUNNING).pendingPolls = 1000;
    add("Locked", win::SERVICE_RUNNING).allowedAccess = win::SERVICE_QUERY_STATUS;
    add("NoStop", win::SERVICE_RUNNING).acceptsStop = false;                 // 1052
    add("Stopping", win::SERVICE_STOP_PENDING).pendingLeft = 1000;           // 1061
    add("Paused", sim::kServicePaused);
    const std::uint64_t t0 = machine.nowNs();
    EXPECT_EQ(Zelkor_StopServicesW(u"Stopped,Missing,Locked,NoStop,Stopping,Stuck,Running,Paused", nullptr, 0), 2u);
    EXPECT_EQ(lines(), (Lines{"[Stop] Service stopped: Running", "[Stop] Service stopped: Paused",
                              "[Stop] Completed stop_services."}));
    EXPECT_EQ(machine.service(u"Running")->state, win::SERVICE_STOPPED);
    EXPECT_EQ(machine.service(u"Locked")->state, win::SERVICE_RUNNING);
    EXPECT_EQ(machine.service(u"NoStop")->state, win::SERVICE_RUNNING);
    EXPECT_EQ(elapsedMs(t0), 5000u + 500u) << "the stuck one's 5 s, the other's two polls, no pause between";
}

TEST_F(ServiceControl, StoppedNamesAreCutAtWholeNames) {
    const std::pair<int, std::u16string> cases[] = {{1, u""}, {8, u"Spooler"}, {12, u"Spooler"}, {13, u"Spooler,BITS"},
                 {26, u"Spooler,BITS"}, {27, u"Spooler,BITS,SensorService"}};
    for (const auto& [capacity, want] : cases) {
        for (const char* name : {"Spooler", "BITS", "SensorService"}) add(name, win::SERVICE_RUNNING);
        std::vector<zk_wchar> out(static_cast<std::size_t>(capacity), u'#');
        EXPECT_EQ(Zelkor_StopServicesW(u"Spooler, BITS,SensorService", out.data(), capacity), 3u);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out.data())), want) << capacity;
    }
}

}  // namespace
}  // namespace zk::test
