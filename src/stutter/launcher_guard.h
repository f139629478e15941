#pragma once
// Game launchers and store clients are never recovery targets: throttling or pinning
// them breaks the game's own session, downloads or overlay.

#include <string_view>

namespace zk::stutter {

bool isLauncher(std::string_view name);

}  // namespace zk::stutter
