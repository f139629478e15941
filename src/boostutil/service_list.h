#pragma once
// The host's comma-separated service lists.

#include <string>
#include <string_view>
#include <vector>

namespace zk::boostutil {

// Splits at every ",", trims space, tab, CR and LF from each token and drops empty ones;
// order and duplicates are kept.
std::vector<std::u16string> parseServiceList(const char16_t* csv);
// 1 to 256 letters, digits, "_" or "-".
bool isValidServiceName(std::u16string_view name);

}  // namespace zk::boostutil
