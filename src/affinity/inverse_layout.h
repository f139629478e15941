#pragma once
// The inverse layout: every eligible process except the game and its descendants is
// pinned onto the background cores, leaving the other cores to the game. Nothing is
// recorded for a restore.

#include <cstdint>

#include "affinity/core_topology.h"

namespace zelkor_affinity {
// SetProcessAffinityMask refused access; caught within the module.
struct AccessDeniedException {};
}  // namespace zelkor_affinity

namespace zk::affinity {

// True when the pass ran to its summary.
bool ApplyInverseLayout(std::uint32_t gamePid, const CoreList& pinSet);

// The layout cores for a game: the pin set within the game's system mask, or the whole
// system mask when none of it is allowed. Empty (failed_total counted) when the game's
// masks cannot be read.
enum class LayoutCores { Ok, GameGone, MasksUnreadable, Empty };
LayoutCores layoutCoresFor(std::uint32_t gamePid, const CoreList& pinSet, CoreList& out);

// The layout cores also allowed in the process's system mask, as a mask; 0 when none.
std::uint64_t maskWithin(const CoreList& layoutCores, std::uint64_t systemMask);

std::int32_t ApplyInverseForPid(std::int32_t pid);
void DiagnoseStatus();

}  // namespace zk::affinity
