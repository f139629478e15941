#pragma once
// The processors an engine treats as the background layout: the host's, filtered to the
// machine, or a default by processor count.

#include <cstdint>
#include <vector>

namespace zk::softdemote {

struct CoreLayout {
    std::vector<std::int32_t> cores;
    std::int32_t reservedCore = 0;
};

// The host's indexes below n in its order (an empty result stays empty); a negative
// reserved core is 0.
CoreLayout hostLayout(const std::int32_t* cores, std::int32_t count, std::int32_t reservedCore, std::int32_t n);
// None below 4 or at 5; 1..3 with 0 reserved at 4; 1..n-2 with n-1 reserved from 6.
CoreLayout defaultLayout(std::int32_t n);

// Bits 0 to n-1 of an affinity mask.
constexpr std::uint64_t processorBits(std::int32_t n) {
    return n <= 0 ? 0 : n >= 64 ? ~0ull : (1ull << n) - 1;
}
constexpr bool hasProcessor(std::uint64_t mask, std::int32_t c) { return c >= 0 && c < 64 && ((mask >> c) & 1u); }

}  // namespace zk::softdemote
