// The soft demotion engine, the hard quarantine and the stateless restore on the helper
// processes; a harmless service stopped and started; a warmed temporary folder.
#include "library.h"
#include "selftest.h"

#include <winsvc.h>

#include <filesystem>
#include <fstream>

namespace zkctl::selftest {

namespace {

// The stateless restore tells user processes from protected ones with GetProcessInformation;
// without it (Wine) it leaves every process alone.
bool restoreCanNormalise() {
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetProcessInformation") != nullptr;
}

constexpr const char* kNoNormalise =
    "the stateless restore cannot tell user processes here (no GetProcessInformation), so it changes none";

Outcome softDemotion() {
    auto start = ZK_LOAD(StartSoftDemoteV4);
    auto stop = ZK_LOAD(StopSoftDemoteV4);
    auto restore = ZK_LOAD(Zelkor_Restore_OffenderW);
    if (!start || !stop || !restore) return Outcome::skipped("exports missing");
    // A known background app is demoted on the engine's first pass.
    auto app = zkhelper::start(L"yourphone.exe", L"sleep", true);
    if (!app || !helpers().game) return Outcome::skipped("the helper processes could not be started");
    SoftDemoteHandle engine = nullptr;
    return processRoundTrip(
        app->process,
        [&] {
            engine = start("low", helpers().game->pid, 0);
            for (int i = 0; i < 100 && engine && GetPriorityClass(app->process) != IDLE_PRIORITY_CLASS; ++i)
                Sleep(100);
            return engine != nullptr;
        },
        [&] {
            stop(engine);
            return restore(app->pid, 0, nullptr, nullptr) == 1;
        },
        loweredToIdle);
}

Outcome quarantine() {
    auto quarantine = ZK_LOAD(Zelkor_HardQuarantine_Offender);
    auto tunerRestore = ZK_LOAD(Zelkor_IOTuner_Restore);
    auto restore = ZK_LOAD(Zelkor_Restore_OffenderW);
    auto stateless = ZK_LOAD(Zelkor_Stateless_System_Restore);
    if (!quarantine || !tunerRestore || !restore || !stateless) return Outcome::skipped("exports missing");
    const auto bg = static_cast<int32_t>(pidOf(helpers().background));
    const auto game = static_cast<int32_t>(pidOf(helpers().game));
    Outcome o = processRoundTrip([&] { return quarantine(bg, game) == 1; },
                                 [&] {
                                     tunerRestore();
                                     // The affinity mask has no restore of its own but the stateless one.
                                     return restore(static_cast<uint32_t>(bg), 0, nullptr, nullptr) == 1 &&
                                            stateless(0, 0) == 1;
                                 },
                                 [](const ProcessState&, const ProcessState& now) { return now.affinity == 1; });
    if (o.verdict == Outcome::Fail && o.applied && !restoreCanNormalise())
        return {Outcome::Skipped, true, false, std::string("affinity not put back: ") + kNoNormalise};
    return o;
}

Outcome statelessRestore() {
    auto stateless = ZK_LOAD(Zelkor_Stateless_System_Restore);
    if (!stateless) return Outcome::skipped("exports missing");
    if (!restoreCanNormalise()) return Outcome::skipped(kNoNormalise);
    const auto& bg = helpers().background;
    if (!bg) return Outcome::skipped("the helper process could not be started");
    Outcome o;
    o.applied = SetPriorityClass(bg->process, BELOW_NORMAL_PRIORITY_CLASS) != FALSE;
    o.restored = stateless(0, 0) == 1 && GetPriorityClass(bg->process) == NORMAL_PRIORITY_CLASS;
    if (!o.restored) o.note = "class " + hex(GetPriorityClass(bg->process)) + " after the restore";
    o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
    return o;
}

// A service's state and start type; false when it cannot be read.
bool serviceState(const wchar_t* name, DWORD& state, DWORD& startType) {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!scm) return false;
    SC_HANDLE svc = OpenServiceW(scm, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    bool ok = false;
    if (svc) {
        SERVICE_STATUS status{};
        alignas(8) BYTE buffer[8192];
        DWORD needed = 0;
        ok = QueryServiceStatus(svc, &status) &&
             QueryServiceConfigW(svc, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer), sizeof buffer, &needed);
        state = status.dwCurrentState;
        startType = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer)->dwStartType;
        CloseServiceHandle(svc);
    }
    CloseServiceHandle(scm);
    return ok;
}

Outcome service() {
    auto startServices = ZK_LOAD(Zelkor_StartServicesW);
    auto stopServices = ZK_LOAD(Zelkor_StopServicesW);
    if (!startServices || !stopServices) return Outcome::skipped("exports missing");
    const wchar_t* name = L"Spooler";  // printing: harmless to stop for a moment
    DWORD state = 0, type = 0, midState = 0, midType = 0, endState = 0, endType = 0;
    if (!serviceState(name, state, type)) return Outcome::skipped("the Spooler service cannot be read");
    if (state != SERVICE_RUNNING && state != SERVICE_STOPPED)
        return Outcome::skipped("the Spooler service is between states");
    const auto* csv = reinterpret_cast<const zk_wchar*>(name);
    auto flip = [&](DWORD from) {
        if (from == SERVICE_RUNNING) return stopServices(csv, nullptr, 0) == 1;
        return startServices(csv, 0) == 1;
    };
    Outcome o;
    o.applied = flip(state) && serviceState(name, midState, midType) && midState != state;
    o.restored = flip(midState) && serviceState(name, endState, endType) && endState == state && endType == type;
    if (!o.restored)
        o.note = "Spooler state " + std::to_string(state) + " -> " + std::to_string(endState) + ", start type " +
                 std::to_string(type) + " -> " + std::to_string(endType);
    o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
    return o;
}

Outcome warmup() {
    auto warm = ZK_LOAD(ZelkorWarmupGameFolder);
    if (!warm) return Outcome::skipped("exports missing");
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = fs::temp_directory_path(ec) / ("zelkor_selftest_" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(dir / "data", ec);
    for (const char* f : {"game.exe", "data/level1.pak", "data/level2.pak"})
        std::ofstream(dir / f, std::ios::binary) << std::string(100000, 'z');
    Outcome o;
    o.applied = warm(reinterpret_cast<const zk_wchar*>(dir.wstring().c_str())) == 3;
    // Every view is gone when the files can be deleted.
    fs::remove_all(dir, ec);
    o.restored = !ec && !fs::exists(dir);
    if (!o.restored) o.note = "the warmed files cannot be deleted: " + ec.message();
    o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
    return o;
}

}  // namespace

void addModuleChecks(std::vector<Check>& checks) {
    checks.push_back({"hard quarantine", quarantine});
    checks.push_back({"soft demotion", softDemotion});
    checks.push_back({"service stop and start", service});
    checks.push_back({"game-folder warmup", warmup});
    checks.push_back({"stateless restore", statelessRestore});
}

}  // namespace zkctl::selftest
