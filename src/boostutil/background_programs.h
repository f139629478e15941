#pragma once
// Ending background programs, and whether a streaming tool runs.

#include <cstdint>

namespace zk::boostutil {

std::uint32_t killBackgroundProcesses(bool aggressive, bool protectGamingTools);
bool isStreamingActive();

}  // namespace zk::boostutil
