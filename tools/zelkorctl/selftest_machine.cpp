// The rows that change the whole machine by design, run only with --machine: the
// affinity layout (every other process onto the background processors) and the
// stateless restore (every user process, the power scheme, the core services' start
// types). Each says beforehand what it will change, and which differences that covers.
#include <cwchar>

#include "library.h"
#include "selftest.h"
#include "selftest_handles.h"

namespace zkctl::selftest {

namespace {

// The stateless restore's service start types: 2 automatic, 3 on demand.
struct ServiceDefault {
    const wchar_t* name;
    DWORD startType;
    bool delayed;
};
constexpr ServiceDefault kCoreServiceDefaults[] = {
    {L"RpcSs", 2, false},       {L"DcomLaunch", 2, false},        {L"PlugPlay", 2, false},
    {L"Power", 2, false},       {L"EventLog", 2, false},          {L"Winmgmt", 2, false},
    {L"Dhcp", 2, false},        {L"NlaSvc", 2, false},            {L"Netman", 3, false},
    {L"LanmanWorkstation", 2, false}, {L"LanmanServer", 2, false}, {L"BFE", 2, false},
    {L"MpsSvc", 2, false},      {L"Schedule", 2, false},          {L"ProfSvc", 2, false},
    {L"W32Time", 3, false},     {L"ShellHWDetection", 2, false},  {L"Audiosrv", 2, false},
    {L"AudioEndpointBuilder", 2, false}, {L"wuauserv", 3, false}, {L"bits", 2, true},
    {L"cryptsvc", 2, false},    {L"msiserver", 3, false},         {L"trustedinstaller", 3, false},
};
constexpr GUID kBalanced = {0x381b4222, 0xf694, 0x41f0, {0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2e}};

const ServiceDefault* coreDefault(const std::wstring& name) {
    for (const auto& d : kCoreServiceDefaults)
        if (_wcsicmp(d.name, name.c_str()) == 0) return &d;
    return nullptr;
}

// The mask the restore gives every user process; none with two or more processor groups,
// where it leaves affinities alone.
std::optional<DWORD_PTR> fullMask() {
    if (GetActiveProcessorGroupCount() >= 2) return std::nullopt;
    const DWORD n = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return n >= 8 * sizeof(DWORD_PTR) ? ~DWORD_PTR{0} : (DWORD_PTR{1} << n) - 1;
}

// It tells user processes from protected ones with GetProcessInformation; without it
// (Wine) it leaves every process alone.
bool restoreCanNormalise() {
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetProcessInformation") != nullptr;
}

std::vector<std::string> announceRestore(const MachineSnapshot& s) {
    const auto mask = fullMask();
    std::string processes;
    for (const auto& [key, p] : s.processes) {
        std::string what;
        if (p.priorityClass != NORMAL_PRIORITY_CLASS) what = "class " + hex(p.priorityClass);
        if (mask && p.affinity != *mask) what += (what.empty() ? "affinity " : ", affinity ") + hex(p.affinity);
        if (!what.empty() && !helpers().pids.count(key.first))
            processes += "\n      " + p.name + " (pid " + std::to_string(key.first) + "): " + what;
    }
    std::string services;
    for (const auto& [name, r] : s.services) {
        const ServiceDefault* d = coreDefault(name);
        if (d && r.present && (r.startType != d->startType || (d->startType == 2 && r.delayed && *r.delayed != d->delayed)))
            services += "\n      " + utf8(name) + ": start type " + std::to_string(r.startType) + " -> " +
                        std::to_string(d->startType) + (d->delayed ? " (delayed)" : "");
    }
    return {"stateless restore: every user process to the normal class" +
                std::string(mask ? " and all processors (" + hex(*mask) + ")" : "") +
                "; protected processes and system accounts are left alone" +
                (processes.empty() ? "" : "; these now differ:" + processes),
            "stateless restore: the active power scheme to Balanced (now " +
                (s.power.scheme ? guidText(*s.power.scheme) : "unreadable") + ")",
            "stateless restore: the start types of " + std::to_string(std::size(kCoreServiceDefaults)) +
                " core services to their defaults" + (services.empty() ? "" : "; these now differ:" + services)};
}

bool restoreCovers(const Difference& d) {
    const ServiceDefault* svc = coreDefault(d.service);
    switch (d.subject) {
        case Subject::PriorityClass: return d.afterValue == NORMAL_PRIORITY_CLASS;
        case Subject::Affinity: return fullMask() == d.afterValue;
        case Subject::PowerScheme: return d.after == guidText(kBalanced);
        case Subject::ServiceStartType: return svc && svc->startType == d.afterValue;
        case Subject::ServiceDelayed: return svc && svc->startType == 2 && svc->delayed == (d.afterValue != 0);
        default: return false;
    }
}

Outcome statelessRestore(const Context& ctx) {
    if (!ctx.machine) return needsMachine();
    auto stateless = ZK_LOAD(Zelkor_Stateless_System_Restore);
    if (!stateless) return Outcome::skipped("exports missing");
    const auto& bg = helpers().background;
    if (!bg) return Outcome::skipped("the helper process could not be started");
    Outcome o;
    // The helper away from normal, for the restore to put back.
    o.applied = SetPriorityClass(bg->process, BELOW_NORMAL_PRIORITY_CLASS) && SetProcessAffinityMask(bg->process, 1) &&
                stateless(0, 0) == 1;
    const auto after = readProcess(bg->process);
    const DWORD_PTR expected = fullMask().value_or(1);
    o.restored = after && after->priorityClass == NORMAL_PRIORITY_CLASS && after->affinity == expected;
    if (!restoreCanNormalise()) {
        o.verdict = Outcome::Skipped;
        o.note = "it ran, but it cannot tell user processes here (no GetProcessInformation), so it changed none";
    } else {
        o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
        if (!o.restored && after) o.note = "the helper stayed at class " + hex(after->priorityClass) + ", affinity " + hex(after->affinity);
    }
    SetPriorityClass(bg->process, NORMAL_PRIORITY_CLASS);
    SetProcessAffinityMask(bg->process, expected);
    return o;
}

DWORD processorCount() {
    SYSTEM_INFO si{};
    GetNativeSystemInfo(&si);
    return si.dwNumberOfProcessors;
}

// Every recorded process's mask, put back where it differs; the number that could not be.
int putBackMasks(const MachineSnapshot& recorded) {
    int failed = 0;
    for (const auto& [key, p] : recorded.processes) {
        const UniqueHandle h(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_SET_INFORMATION, FALSE, key.first));
        FILETIME created{}, exited{}, kernel{}, user{};
        DWORD_PTR mask = 0, system = 0;
        if (!h || !GetProcessTimes(h.get(), &created, &exited, &kernel, &user) ||
            ((ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime) != key.second ||
            !GetProcessAffinityMask(h.get(), &mask, &system))
            continue;  // ended, or another process under the same pid
        if (mask != p.affinity && !SetProcessAffinityMask(h.get(), p.affinity)) ++failed;
    }
    return failed;
}

Outcome affinityLayout(const Context& ctx) {
    const DWORD n = processorCount();
    if (n < 5)
        return Outcome::skipped("this machine has " + std::to_string(n) +
                                " logical processors: the layout changes no affinity below five");
    if (!ctx.machine) return needsMachine();
    auto apply = ZK_LOAD(Zelkor_Affinity_ApplyInverseForPid);
    auto cleanup = ZK_LOAD(Zelkor_Affinity_Cleanup);
    if (!apply || !cleanup) return Outcome::skipped("exports missing");
    const auto& game = helpers().game;
    const auto& bg = helpers().background;
    if (!game || !bg) return Outcome::skipped("the helper processes could not be started");
    const auto gameBefore = readProcess(game->process);
    const auto bgBefore = readProcess(bg->process);
    Outcome o;
    const bool laidOut = apply(static_cast<int32_t>(game->pid)) == 1;
    const auto gameNow = readProcess(game->process);
    const auto bgNow = readProcess(bg->process);
    // The background processors are 0 and 3 where the process may run there.
    const DWORD_PTR background = 0x9;
    o.applied = laidOut && gameNow && bgNow && gameBefore && bgBefore && gameNow->affinity == gameBefore->affinity &&
                (bgNow->affinity & ~background) == 0 && bgNow->affinity != bgBefore->affinity;
    if (!o.applied && bgNow) o.note = "the background helper's affinity is " + hex(bgNow->affinity);
    cleanup();
    const int failed = putBackMasks(ctx.before);
    o.restored = failed == 0;
    o.note += std::string(o.note.empty() ? "" : "; ") +
              "the layout has no restore of its own: the self-test put the recorded masks back" +
              (failed ? " (" + std::to_string(failed) + " could not be)" : "");
    o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
    return o;
}

std::vector<std::string> announceLayout(const MachineSnapshot&) {
    if (processorCount() < 5) return {};
    return {"affinity layout: every other process onto processors 0 and 3 for a moment; the self-test then puts "
            "back each mask it recorded (the layout has no restore of its own)"};
}

}  // namespace

std::vector<std::wstring> recordedServices() {
    std::vector<std::wstring> names{kRowService};
    for (const auto& d : kCoreServiceDefaults) names.emplace_back(d.name);
    return names;
}

void addMachineChecks(std::vector<Check>& checks) {
    checks.push_back({"affinity layout", affinityLayout, announceLayout, {}});
    checks.push_back({"stateless restore", statelessRestore, announceRestore, restoreCovers});
}

}  // namespace zkctl::selftest
