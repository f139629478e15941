#pragma once
// Processes the profiler never blames: the system's own and this product's companions.

#include <cstddef>

namespace zk::stutter {

// exeName: the snapshot's executable name (NUL-terminated within maxChars). Compared
// lower-cased, exactly.
bool profilerExcludes(const char16_t* exeName, std::size_t maxChars);

}  // namespace zk::stutter
