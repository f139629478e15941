#pragma once
// What decides whether a process may be touched: its liveness, its image name against
// the protected names, and its descent from the game.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/handles.h"

namespace zk::affinity {

// PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_SET_INFORMATION, and nothing more.
inline constexpr std::uint32_t kAffinityAccess = 0x1200;

// A process id with the handle opened for it (null when the open failed).
struct ProcessHandle {
    std::uint32_t pid = 0;
    platform::ProcessHandle handle;
};

ProcessHandle openForAffinity(std::uint32_t pid);
// The handle is open and the process has not exited.
bool isRunning(const ProcessHandle& p);

bool IsProtectedProcessName(std::string_view baseName);
std::span<const std::string_view> ProtectedProcessNames();
// The full image path in the ANSI code page; empty when it cannot be read.
std::string ImagePath(const ProcessHandle& p);
// The part of a path after its last '\\' or '/'.
std::string_view baseNameOf(std::string_view path);
std::string ImageBaseName(const ProcessHandle& p);

using ParentMap = std::unordered_map<std::uint32_t, std::uint32_t>;
// Empty when no snapshot can be taken.
ParentMap BuildParentMap();
// Recognises ancestors up to 20 generations up.
bool IsDescendantBounded(std::uint32_t pid, std::uint32_t ancestor, const ParentMap& parents);
bool ProcessExists(std::uint32_t pid);

}  // namespace zk::affinity
