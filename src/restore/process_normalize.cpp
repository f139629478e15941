#include "restore/process_normalize.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/platform.h"
#include "platform/process_walk.h"
#include "restore/restore_log.h"

namespace zk::restore {

namespace {

using platform::ProcessHandle;

constexpr std::uint32_t kProtectionLevelNone = 0xFFFFFFFEu;
// A TOKEN_USER of up to this many bytes is read; a larger one counts as unreadable. Records grow
// in steps of four bytes (one sub-authority), so 69 to 71 would admit exactly the same ones.
constexpr std::uint32_t kTokenUserBytes = 68;

// Compared without regard to case.
constexpr std::array<std::u16string_view, 12> kNormalizeSkipNames{
    u"csrss.exe",   u"smss.exe",    u"services.exe", u"lsass.exe",   u"winlogon.exe", u"wininit.exe",
    u"dwm.exe",     u"svchost.exe", u"explorer.exe", u"taskmgr.exe", u"MsMpEng.exe",  u"NisSrv.exe"};

bool sameIgnoringCase(std::u16string_view a, std::u16string_view b) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

bool skippedByName(std::u16string_view name) {
    return std::any_of(kNormalizeSkipNames.begin(), kNormalizeSkipNames.end(),
                       [&](std::u16string_view n) { return sameIgnoringCase(n, name); });
}

// Protected unless the protection-level query succeeds and says none; a system without
// the query protects every process.
bool isProtected(const ProcessHandle& h) {
    std::uint32_t level = 0;
    if (!platform::processes().getProcessInformation(h, win::ProcessProtectionLevelInfo, &level, sizeof level))
        return true;
    return level != kProtectionLevelNone;
}

// Local system (S-1-5-18), local service (S-1-5-19) or network service (S-1-5-20).
bool isServiceAccount(const platform::TokenUserSid& sid) {
    static constexpr std::uint8_t kNtAuthority[6] = {0, 0, 0, 0, 0, 5};
    return std::equal(sid.authority, sid.authority + 6, kNtAuthority) && sid.subAuthorityCount == 1 &&
           sid.subAuthority[0] >= 18 && sid.subAuthority[0] <= 20;
}

// Runs as a user: the token's user can be read and is no service account.
bool runsAsUser(std::uint32_t pid) {
    platform::Processes& procs = platform::processes();
    const ProcessHandle h = procs.openProcess(win::PROCESS_QUERY_LIMITED_INFORMATION, false, pid);
    if (!h || isProtected(h)) return false;
    platform::Tokens& tokens = platform::tokens();
    const platform::TokenHandle token = tokens.openProcessTokenOf(h, win::TOKEN_QUERY);
    // Without this return the token user query fails on the null handle alike.
    if (!token) return false;
    platform::TokenUserSid sid;
    return tokens.getTokenUser(token, kTokenUserBytes, sid) && !isServiceAccount(sid);
}

struct Processors {
    std::uint16_t groups;
    std::uint32_t active;
};

void resetAffinity(const ProcessHandle& h, const Processors& cpus) {
    if (cpus.groups >= 2) {
        StatelessLog("INFO: Multi-group CPU detected; skipping process affinity reset");
        return;
    }
    if (cpus.active == 0) return;
    const std::uint64_t mask = cpus.active >= 64 ? ~0ull : (1ull << cpus.active) - 1;
    if (!platform::processes().setProcessAffinityMask(h, mask))
        StatelessLogError("WARNING: SetProcessAffinityMask failed");
}

std::u16string_view exeName(const platform::ProcessEntry& row) {
    const auto* end = std::find(std::begin(row.exeFile), std::end(row.exeFile), u'\0');
    return {row.exeFile, static_cast<std::size_t>(end - row.exeFile)};
}

}  // namespace

std::span<const std::u16string_view> normalizeSkipNames() { return kNormalizeSkipNames; }

void normalizeUserProcesses() {
    platform::Processes& procs = platform::processes();
    platform::System& sys = platform::system();
    const Processors cpus{sys.activeProcessorGroupCount(), sys.activeProcessorCount(platform::kAllProcessorGroups)};
    std::uint32_t count = 0;
    const platform::WalkResult walk = platform::forEachProcess([&](const platform::ProcessEntry& row) {
        const std::u16string_view name = exeName(row);
        if (row.pid < 5 || name.empty() || skippedByName(name)) return;
        if (!runsAsUser(row.pid)) return;
        const ProcessHandle h =
            procs.openProcess(win::PROCESS_QUERY_LIMITED_INFORMATION | win::PROCESS_SET_INFORMATION, false, row.pid);
        if (!h || isProtected(h)) return;
        resetAffinity(h, cpus);
        if (!procs.setPriorityClass(h, win::NORMAL_PRIORITY_CLASS))
            StatelessLogError("WARNING: SetPriorityClass(NORMAL) failed");
        ++count;
    });
    if (walk == platform::WalkResult::SnapshotFailed) {
        StatelessLogError("ERROR: CreateToolhelp32Snapshot failed");
        return;
    }
    StatelessLog("SUCCESS: User processes normalized (count=" + std::to_string(count) + ")");
}

}  // namespace zk::restore
