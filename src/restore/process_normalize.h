#pragma once
// Puts user processes back to normal priority and full affinity.

#include <span>
#include <string_view>

namespace zk::restore {

void normalizeUserProcesses();
// Image names it never touches, compared without regard to case.
std::span<const std::u16string_view> normalizeSkipNames();

}  // namespace zk::restore
