#pragma once
// Processes the profiler never blames: the system's own and this product's companions.

#include <cstddef>
#include <span>
#include <string_view>

namespace zk::stutter {

// exeName: the snapshot's executable name (NUL-terminated within maxChars). Compared
// lower-cased, exactly.
bool profilerExcludes(const char16_t* exeName, std::size_t maxChars);
// The excluded names: the system's processes and this product's companions.
std::span<const std::string_view> profilerSystemNames();
std::span<const std::string_view> profilerCompanionNames();

}  // namespace zk::stutter
