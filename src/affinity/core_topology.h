#pragma once
// The machine's logical processor count, the four-core rule, and the core list that
// background processes are pinned to.

#include <cstdint>
#include <vector>

namespace zk::affinity {

// Ordered core indices; a list becomes a mask through bits 0..63, other indices ignored.
using CoreList = std::vector<std::int32_t>;

std::uint64_t maskOf(const CoreList& cores);
// The set bits of mask, ascending.
CoreList coresOf(std::uint64_t mask);

// Read once from the system on first use (at least 1), never refreshed.
std::int32_t LogicalCoreCount();
// Layout operations never change an affinity on machines this small.
inline bool tooFewCores(std::int32_t n) { return n <= 4; }

// The background pin set for a core count, with its INFO line. loadClass is a dynamic
// step's load class; no choice depends on it yet.
CoreList BuildBackgroundPinSet(std::int32_t coreCount, int loadClass = 0);

}  // namespace zk::affinity
