// The soft demotion engine on a helper named like a known background app. The engine acts
// on every process of the machine and puts nothing back, so the row runs only its first
// pass, and only when that pass can reach no process but the helper. On a first pass every
// process's CPU share and I/O count as zero: only a known app name or a working set above
// the tier's limit demotes, and nothing does while an anti-cheat runs or on a machine with
// exactly four processors (where the engine goes by measured load alone).
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

#include "library.h"
#include "selftest.h"
#include "selftest_handles.h"

namespace zkctl::selftest {

namespace {

constexpr const char* kTier = "high";
constexpr SIZE_T kTierMemoryLimit = SIZE_T{2048} << 20;  // the "high" tier's working set
const wchar_t* const kKnownApps[] = {L"microsoft.photos.exe", L"hxmail.exe", L"yourphone.exe", L"onenoteim.exe",
                                     L"skypeapp.exe"};
const wchar_t* const kAntiCheat[] = {L"vgc", L"vgk", L"battleye", L"easyanticheat", L"faceit", L"bedaisy"};

// Why the first pass could reach another process than the spared ones; empty when it cannot.
std::string othersAtRisk(const std::set<DWORD>& spared) {
    const HANDLE raw = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (raw == INVALID_HANDLE_VALUE) return "the process list cannot be read";
    const UniqueHandle snap(raw);
    std::string atRisk;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(raw, &e); more; more = Process32NextW(raw, &e)) {
        std::wstring name = e.szExeFile;
        std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) { return std::towlower(c); });
        for (const wchar_t* ac : kAntiCheat)
            if (name.find(ac) != std::wstring::npos)
                return "an anti-cheat runs (" + utf8(e.szExeFile) + "): the engine then goes by measured load alone";
        if (e.th32ProcessID == 0 || spared.count(e.th32ProcessID)) continue;
        // The engine's own access: what it cannot open, it cannot demote.
        const UniqueHandle h(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_QUERY_INFORMATION |
                                             PROCESS_SET_INFORMATION | PROCESS_VM_READ,
                                         FALSE, e.th32ProcessID));
        PROCESS_MEMORY_COUNTERS mem{};
        const bool known = std::any_of(std::begin(kKnownApps), std::end(kKnownApps),
                                       [&](const wchar_t* app) { return name == app; });
        if (h && (known || (GetProcessMemoryInfo(h.get(), &mem, sizeof mem) && mem.WorkingSetSize > kTierMemoryLimit)))
            atRisk += (atRisk.empty() ? "" : ", ") + utf8(e.szExeFile) + " (pid " + std::to_string(e.th32ProcessID) + ")";
    }
    return atRisk.empty() ? "" : "its first pass would also demote " + atRisk + ", and nothing puts a demotion back";
}

Outcome softDemotion(const Context&) {
    auto start = ZK_LOAD(StartSoftDemoteV4);
    auto stop = ZK_LOAD(StopSoftDemoteV4);
    auto restore = ZK_LOAD(Zelkor_Restore_OffenderW);
    if (!start || !stop || !restore) return Outcome::skipped("exports missing");
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    if (si.dwNumberOfProcessors == 4)
        return Outcome::skipped("with exactly four processors the engine demotes by measured load alone, which "
                                "would reach the machine's busy processes");
    auto app = startHelper(L"yourphone.exe", true);
    if (!app || !helpers().game) return Outcome::skipped("the helper processes could not be started");
    std::set<DWORD> spared = helpers().pids;
    spared.insert(GetCurrentProcessId());
    if (const std::string why = othersAtRisk(spared); !why.empty()) return Outcome::skipped(why);
    // Processor 0 is in no default layout of the engine: the helper is not let off as a
    // light process that already runs on the layout.
    SetProcessAffinityMask(app->process, 1);
    SoftDemoteHandle engine = nullptr;
    return processRoundTrip(
        app->process,
        [&] {
            engine = start(kTier, helpers().game->pid, GetCurrentProcessId());
            // The next pass begins two seconds or more after the first one ends: stopping
            // within two seconds of the start leaves the first pass the only one.
            for (int i = 0; i < 19 && engine && GetPriorityClass(app->process) != IDLE_PRIORITY_CLASS; ++i) Sleep(100);
            return engine != nullptr;
        },
        [&] {
            stop(engine);
            return restore(app->pid, 0, nullptr, nullptr) == 1;
        },
        loweredToIdle);
}

}  // namespace

void addSoftDemotionCheck(std::vector<Check>& checks) { checks.push_back({"soft demotion", softDemotion, {}, {}}); }

}  // namespace zkctl::selftest
