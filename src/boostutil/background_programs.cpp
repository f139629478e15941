#include "boostutil/background_programs.h"

#include <algorithm>
#include <string>

#include "boostutil/boostutil_log.h"
#include "boostutil/process_names.h"
#include "platform/platform.h"
#include "platform/process_walk.h"

namespace zk::boostutil {

namespace {

std::u16string_view exeName(const platform::ProcessEntry& row) {
    const auto* end = std::find(std::begin(row.exeFile), std::end(row.exeFile), u'\0');
    return {row.exeFile, static_cast<std::size_t>(end - row.exeFile)};
}

// Names with anything else (brackets, "+", ...) are never ended.
bool isPlainName(std::u16string_view name) {
    // An empty name matches no candidate and snapshot names hold at most 259 units: this states the rule
    // (so any bound from 259 up reads the same).
    if (name.empty() || name.size() > 260) return false;
    return std::all_of(name.begin(), name.end(), [](char16_t c) {
        return isLetterOrDigit(c) || c == u'.' || c == u' ' || c == u'-' || c == u'_';
    });
}

std::u16string decimal(std::uint32_t v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

}  // namespace

std::uint32_t killBackgroundProcesses(bool aggressive, bool protectGamingTools) {
    platform::Processes& procs = platform::processes();
    const std::uint32_t self = procs.currentProcessId();
    std::uint32_t killed = 0;
    const platform::WalkResult walk = platform::forEachProcess([&](const platform::ProcessEntry& row) {
        if (row.pid == 0 || row.pid == self) return;
        const std::u16string_view name = exeName(row);
        if (!isPlainName(name)) return;
        const std::u16string lower = lowerCase(name);
        if (isProtectedProcess(lower, protectGamingTools) || !isKillCandidate(lower, aggressive)) return;
        const platform::ProcessHandle h =
            procs.openProcess(win::PROCESS_TERMINATE | win::PROCESS_QUERY_LIMITED_INFORMATION, false, row.pid);
        if (!h || !procs.terminateProcess(h, 1)) return;
        ++killed;
        BoostLog(u"[Kill] Terminated: " + std::u16string(name) + u" (pid=" + decimal(row.pid) + u")");
    });
    if (walk == platform::WalkResult::SnapshotFailed) {
        BoostLog(u"[Kill] Failed to create snapshot.");
        return 0;
    }
    BoostLog(u"[Kill] Background cleanup done.");
    return killed;
}

bool isStreamingActive() {
    bool found = false;
    platform::forEachProcess([&](const platform::ProcessEntry& row) {
        if (!found && isStreamingTool(lowerCase(exeName(row)))) found = true;
    });
    return found;
}

}  // namespace zk::boostutil
