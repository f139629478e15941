#pragma once
// The layout's refresh and end, and the module's set-up and tear-down. None of them
// restores an affinity: ending a layout only forgets it.

#include <cstdint>

namespace zk::affinity {

std::int32_t RefreshInverse();
bool EnableTokenPrivilege(const char* name);
std::int32_t Initialize();
void Cleanup();
void ResetAll();

}  // namespace zk::affinity
