#pragma once
// The heaviest measure against one offender: the first processor only, below-normal
// class, then the tuner's own lowering and a memory cleaning. Nothing is kept to undo it;
// the tuner's restore brings back what the tuner recorded.

#include <cstdint>

namespace zk::iotuner {

// 1 when the quarantine ran, 0 when refused, -1 for a system pid.
int HardQuarantine(std::int32_t pid, std::int32_t gamePid);

}  // namespace zk::iotuner
