#pragma once
// The host's boost of a game and the periodic dynamic step that keeps its layout fresh.

#include <cstddef>
#include <cstdint>

namespace zk::affinity {

std::int32_t ApplyBoostForPid(std::int32_t pid);
std::int32_t DynamicStepForPid(std::int32_t pid, const double* samples, std::int32_t count);

// The load class of a dynamic step's samples (0 to 3); it shapes no pin set yet.
int loadClassOf(const double* samples, std::size_t count);

}  // namespace zk::affinity
