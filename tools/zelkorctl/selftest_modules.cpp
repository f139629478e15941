// A harmless service stopped and started again; a warmed temporary folder.
#include "library.h"
#include "selftest.h"

#include <filesystem>
#include <fstream>

namespace zkctl::selftest {

namespace {

Outcome service(const Context&) {
    auto startServices = ZK_LOAD(Zelkor_StartServicesW);
    auto stopServices = ZK_LOAD(Zelkor_StopServicesW);
    if (!startServices || !stopServices) return Outcome::skipped("exports missing");
    const std::string name = utf8(kRowService);  // printing: harmless to stop for a moment
    const ServiceRecord before = readService(kRowService);
    if (!before.present) return Outcome::skipped("the " + name + " service cannot be read");
    if (before.state != SERVICE_RUNNING && before.state != SERVICE_STOPPED)
        return Outcome::skipped("the " + name + " service is between states");
    auto flip = [&](DWORD from) {
        if (from == SERVICE_RUNNING) return stopServices(kRowService, nullptr, 0) == 1;
        return startServices(kRowService, 0) == 1;
    };
    Outcome o;
    const ServiceRecord between = flip(before.state) ? readService(kRowService) : ServiceRecord{};
    o.applied = between.present && between.state != before.state;
    const bool flippedBack = o.applied && flip(between.state);
    const ServiceRecord after = readService(kRowService);
    o.restored = flippedBack && after.present && after.state == before.state && after.startType == before.startType;
    if (!o.applied) o.note = "the " + name + " service did not change state";
    o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
    return o;
}

Outcome warmup(const Context&) {
    auto warm = ZK_LOAD(ZelkorWarmupGameFolder);
    if (!warm) return Outcome::skipped("exports missing");
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = fs::temp_directory_path(ec) / ("zelkor_selftest_" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(dir / "data", ec);
    for (const char* f : {"game.exe", "data/level1.pak", "data/level2.pak"})
        std::ofstream(dir / f, std::ios::binary) << std::string(100000, 'z');
    Outcome o;
    o.applied = warm(dir.wstring().c_str()) == 3;
    // Every view is gone when the files can be deleted.
    fs::remove_all(dir, ec);
    o.restored = !ec && !fs::exists(dir);
    if (!o.applied) o.note = "not every file of the temporary folder was warmed";
    if (!o.restored) o.note = "the warmed files cannot be deleted: " + ec.message();
    o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
    return o;
}

}  // namespace

void addModuleChecks(std::vector<Check>& checks) {
    checks.push_back({"service stop and start", service, {}, {}});
    checks.push_back({"game-folder warmup", warmup, {}, {}});
}

}  // namespace zkctl::selftest
