#pragma once
// Game launchers and store clients are never recovery targets: throttling or pinning
// them breaks the game's own session, downloads or overlay.

#include <span>
#include <string_view>

namespace zk::stutter {

bool isLauncher(std::string_view name);
// Its vocabulary: whole names (lower case, without ".exe") and words contained anywhere.
std::span<const std::string_view> launcherExactNames();
std::span<const std::string_view> launcherContainedWords();

}  // namespace zk::stutter
