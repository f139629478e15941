#pragma once
// Moving one stutter offender onto the background cores of the active layout.

#include <cstdint>

namespace zk::affinity {

// 1 when the offender was handled, 0 otherwise; never throws.
std::int32_t ApplyInverseForOffenderPid(std::int32_t pid);

}  // namespace zk::affinity
