#pragma once
// Measuring how much physical memory is available, and how much a cleaning freed.

#include <cstdint>
#include <optional>

namespace zk::memory {

// Readings above this are taken for garbage, not memory.
inline constexpr std::uint64_t kMaxReadingBytes = 1ull << 50;

// The median of five readings of the available physical memory, paced so that a
// settling value is read quickly and a moving one is given time; nullopt when a reading
// fails or is out of range. Sleeps 80 to 200 ms.
std::optional<std::uint64_t> sampleAvailableMemory();

// MiB that became available between two measurements: 0 when none did, -1.0 when the
// difference is out of range.
double amountFreedMb(std::uint64_t before, std::uint64_t after);

}  // namespace zk::memory
