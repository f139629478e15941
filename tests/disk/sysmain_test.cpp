// The SysMain toggle and status over the simulated service manager.

#include <functional>
#include <optional>

#include "disk_fixture.h"

namespace zk::test {
namespace {

using SysMainTest = DiskTest;

TEST_F(SysMainTest, TogglesAndReportsAsTheServiceManagerAllows) {
    using After = std::optional<std::pair<std::uint32_t, std::uint32_t>>;  // state, start type
    using Case = std::tuple<const char*, std::function<void(sim::SimMachine&)>, int, std::uint32_t, After>;
    const auto running = [](sim::SimMachine& m) { m.addService("SysMain", win::SERVICE_RUNNING, win::SERVICE_AUTO_START); };
    const auto off = [](sim::SimMachine& m) { m.addService("SysMain", win::SERVICE_STOPPED, win::SERVICE_DISABLED); };
    const auto at = [](std::uint32_t state, bool acceptsStop) {
        return [=](sim::SimMachine& m) { m.addService("SysMain", state, win::SERVICE_AUTO_START).acceptsStop = acceptsStop; };
    };
    const std::vector<Case> cases = {
        // A system without SysMain has nothing to switch: success either way.
        {"missing, disable", [](auto&) {}, 1, 1, std::nullopt},
        {"running, disable", running, 1, 1, {{win::SERVICE_STOPPED, win::SERVICE_DISABLED}}},
        {"disabled, enable", off, 0, 1, {{win::SERVICE_RUNNING, win::SERVICE_AUTO_START}}},
        {"running, enable (already running)", running, 0, 1, {{win::SERVICE_RUNNING, win::SERVICE_AUTO_START}}},
        {"paused, disable", at(sim::kServicePaused, true), 1, 1, {{win::SERVICE_STOPPED, win::SERVICE_DISABLED}}},
        {"refusing a stop, disable", at(win::SERVICE_RUNNING, false), 1, 1,
         {{win::SERVICE_RUNNING, win::SERVICE_DISABLED}}},
        {"stopping, disable", at(win::SERVICE_STOP_PENDING, true), 1, 1, {{win::SERVICE_STOPPED, win::SERVICE_DISABLED}}},
        // Without administrative rights: query access only, the change is refused.
        {"query rights only, disable",
         [&](sim::SimMachine& m) {
             running(m);
             m.service(u"SysMain")->allowedAccess = win::SERVICE_QUERY_STATUS;
         },
         1, 0, {{win::SERVICE_RUNNING, win::SERVICE_AUTO_START}}},
        {"no service manager", [](sim::SimMachine& m) { m.failOp(sim::Op::OpenServiceManager, win::ERROR_ACCESS_DENIED); },
         0, 0, std::nullopt},
    };
    for (const auto& [name, arrange, disable, result, after] : cases) {
        sim::SimMachine m;
        sim::ScopedMachine scope(m);
        arrange(m);
        EXPECT_EQ(ZelkorToggleSysMain(disable), result) << name;
        if (after) {
            const sim::SimService* s = m.service(u"SysMain");
            m.service(u"SysMain")->pendingLeft = 0;  // let a transition complete on the next query
            EXPECT_EQ(ZelkorGetSysMainStatus(), after->first) << name;
            EXPECT_EQ(s->startType, after->second) << name;
        } else {
            EXPECT_EQ(ZelkorGetSysMainStatus(), 0u) << name;
        }
        EXPECT_EQ(m.openHandleCount(), 0u) << name;
    }
}

TEST_F(SysMainTest, LogsEveryRequestWhateverItsOutcome) {
    machine.addService("SysMain", win::SERVICE_RUNNING, win::SERVICE_AUTO_START).allowedAccess =
        win::SERVICE_QUERY_STATUS;
    ZelkorToggleSysMain(1);
    ZelkorToggleSysMain(0);
    ZelkorGetSysMainStatus();
    EXPECT_EQ(logged(), (Lines{
                            "1 [Zelkor] Logging level changed: 2",
                            "1 [Zelkor] Toggling SysMain...",
                            "1 [Zelkor] SysMain disabled.",
                            "1 [Zelkor] Toggling SysMain...",
                            "1 [Zelkor] SysMain enabled.",
                            "2 [Zelkor] SysMain status queried.",
                        }));
    machine.service(u"SysMain")->allowedAccess = 0xF01FF;
    ZelkorRegisterDiskLogCallback(&collect);
    ZelkorToggleSysMain(1);
    ZelkorToggleSysMain(0);
    EXPECT_EQ(logged(), (Lines{
                            "1 [Zelkor] Toggling SysMain...",
                            "2 [Zelkor] Service stopped: SysMain",
                            "2 [Zelkor] Service type changed: SysMain",
                            "1 [Zelkor] SysMain disabled.",
                            "1 [Zelkor] Toggling SysMain...",
                            "2 [Zelkor] Service type changed: SysMain",
                            "2 [Zelkor] Service started: SysMain",
                            "1 [Zelkor] SysMain enabled.",
                        }));
}

}  // namespace
}  // namespace zk::test
