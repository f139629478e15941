// zelkorctl selftest as a host developer runs it, here in Wine's machine: its rows, read
// from --json, and the machine before and after the run, read by this test itself.

#include "wine_support.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

namespace {

// Every readable process's priority class and affinity, every service's state and start
// type, by a name that holds the pid.
std::map<std::string, std::string> machine() {
    std::map<std::string, std::string> out;
    for (const auto& [pid, state] : zkw::processStates()) out["process " + std::to_string(pid)] = state;
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    DWORD needed = 0, count = 0;
    EnumServicesStatusExW(scm, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &count,
                          nullptr, nullptr);
    std::vector<std::uint64_t> list(needed / 8 + 1);
    auto* services = reinterpret_cast<ENUM_SERVICE_STATUS_PROCESSW*>(list.data());
    if (!EnumServicesStatusExW(scm, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                               reinterpret_cast<BYTE*>(services), static_cast<DWORD>(list.size() * 8), &needed, &count,
                               nullptr, nullptr))
        count = 0;
    for (DWORD i = 0; i < count; ++i) {
        SC_HANDLE svc = OpenServiceW(scm, services[i].lpServiceName, SERVICE_QUERY_CONFIG);
        std::vector<std::uint64_t> buffer(1024);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        const bool read = svc && QueryServiceConfigW(svc, config, 8192, &needed);
        const std::wstring name = services[i].lpServiceName;
        out["service " + std::string(name.begin(), name.end())] =
            std::to_string(services[i].ServiceStatusProcess.dwCurrentState) + " " +
            (read ? std::to_string(config->dwStartType) : "?");
        if (svc) CloseServiceHandle(svc);
    }
    if (scm) CloseServiceHandle(scm);
    return out;
}

TEST(SelftestUnderWine, DefaultRunLeavesTheMachineAsItFoundIt) {
    ZKW_ONLY_UNDER_WINE("stops and starts the Spooler service and boosts the power scheme for a moment");
    const std::wstring json = zkw::tempPath(L"zk_selftest.json");
    const auto before = machine();
    EXPECT_EQ(zkw::zelkorctl(L"selftest --json \"" + json + L"\""), 0);
    const auto after = machine();

    std::ifstream file{std::filesystem::path(json)};
    std::vector<std::pair<std::string, std::string>> rows;
    const std::regex row(R"re(^\{"module": "([^"]*)", "verdict": "([^"]*)".*"differences": \[(.*)\]\},?$)re");
    std::smatch m;
    for (std::string line; std::getline(file, line);) {
        if (!std::regex_match(line, m, row)) continue;
        rows.emplace_back(m[1], m[2]);
        EXPECT_EQ(m[3], "") << "what differs after " << m[1];
    }
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    // What Wine lacks: an active power scheme, GetProcessInformation (so the stateless
    // restore would change no process), and a default run has no whole-machine rows.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"I/O tuner", "ok"},
        {"offender throttle", "ok"},
        {"hard quarantine", "ok"},
        {"processor boost", "skipped"},
        {"soft demotion", si.dwNumberOfProcessors == 4 ? "skipped" : "ok"},
        {"service stop and start", "ok"},
        {"game-folder warmup", "ok"},
        {"affinity layout", "skipped"},
        {"stateless restore", "skipped"},
        {"machine as found", "ok"},
    };
    EXPECT_EQ(rows, expected);
    for (const auto& [name, state] : before) {
        if (const auto found = after.find(name); found != after.end()) {
            EXPECT_EQ(found->second, state) << name;
        }
    }
    DeleteFileW(json.c_str());
}

}  // namespace
