#pragma once
// The fixed executable-name sets of soft demotion: lower-case UTF-8, exact match.

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace zk::softdemote {

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};
using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

// Matched as substrings of a lower-cased name, not as whole names.
const NameSet& antiCheatNames();
// Launchers, GPU tools, peripheral tools, streaming tools and system processes: never demoted.
const NameSet& protectedNames();
// Demoted more eagerly than other processes.
const NameSet& backgroundAppNames();

}  // namespace zk::softdemote
