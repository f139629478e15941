#include "affinity/process_utils.h"

#include <array>

#include "platform/platform.h"
#include "platform/process_walk.h"

namespace zk::affinity {

namespace {

// The shell, the session's system processes, and the engine's own executables.
constexpr std::array<std::string_view, 8> kProtectedNames = {
    "explorer.exe", "csrss.exe", "winlogon.exe", "dwm.exe", "svchost.exe",
    "zelkorperformanceengine.exe", "zelkor_performance_engine.exe", "zelkor.exe"};

// QueryFullProcessImageNameA into a MAX_PATH buffer: longer paths do not fit.
constexpr std::size_t kMaxPath = 260;

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

}  // namespace

std::span<const std::string_view> ProtectedProcessNames() { return kProtectedNames; }

ProcessHandle openForAffinity(std::uint32_t pid) {
    return {pid, platform::processes().openProcess(kAffinityAccess, false, pid)};
}

bool isRunning(const ProcessHandle& p) {
    std::uint32_t code = 0;
    return p.handle && platform::processes().getExitCodeProcess(p.handle, code) && code == win::STILL_ACTIVE;
}

bool IsProtectedProcessName(std::string_view baseName) {
    for (const std::string_view name : kProtectedNames)
        if (equalsIgnoreCase(baseName, name)) return true;
    return false;
}

std::string ImagePath(const ProcessHandle& p) {
    if (!p.handle) return {};
    std::u16string wide;
    if (!platform::processes().queryFullProcessImageName(p.handle, wide) || wide.size() >= kMaxPath) return {};
    return platform::system().wideToAnsi(wide);
}

std::string_view baseNameOf(std::string_view path) {
    const std::size_t sep = path.find_last_of("\\/");
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::string ImageBaseName(const ProcessHandle& p) { return std::string(baseNameOf(ImagePath(p))); }

ParentMap BuildParentMap() {
    ParentMap parents;
    platform::forEachProcess([&](const platform::ProcessEntry& e) { parents[e.pid] = e.parentPid; });
    return parents;
}

bool IsDescendantBounded(std::uint32_t pid, std::uint32_t ancestor, const ParentMap& parents) {
    if (pid < 1 || ancestor < 1) return false;
    std::uint32_t current = pid;
    for (int generation = 0; generation < 20; ++generation) {
        const auto it = parents.find(current);
        if (it == parents.end()) return false;
        const std::uint32_t parent = it->second;
        if (parent == ancestor) return true;
        if (parent < 1 || parent == current) return false;
        current = parent;
    }
    return false;
}

bool ProcessExists(std::uint32_t pid) {
    bool found = false;
    platform::forEachProcess([&](const platform::ProcessEntry& e) { found = found || e.pid == pid; });
    return found;
}

}  // namespace zk::affinity
