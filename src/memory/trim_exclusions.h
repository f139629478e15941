#pragma once
// The processes on whose behalf no cleaning runs: the system's own, the desktop's,
// launchers and peripheral services, and anti-cheat components.

#include <cstdint>
#include <span>
#include <string_view>

namespace zk::memory {

// lowerName: a lower-cased image file name without its folder. Empty names are excluded.
bool isExcludedName(std::u16string_view lowerName);
// Whole names, and patterns found anywhere in a name.
std::span<const std::u16string_view> trimExcludedNames();
std::span<const std::u16string_view> trimExcludedPatterns();

// Whether pid's image name is excluded; a process whose name cannot be read (gone,
// access denied) is not.
bool isExcludedProcess(std::uint32_t pid);

}  // namespace zk::memory
