#include "memory/available_memory.h"

#include <algorithm>
#include <array>

#include "platform/platform.h"

namespace zk::memory {

namespace {

constexpr std::uint32_t kFirstPauseMs = 50;
constexpr std::uint32_t kSteadyPauseMs = 10;
constexpr std::uint32_t kMovingPauseMs = 50;
constexpr double kBytesToMb = 0x1p-20;

}  // namespace

std::optional<std::uint64_t> sampleAvailableMemory() {
    auto& os = platform::system();
    auto& clock = platform::clocks();
    std::array<std::uint64_t, 5> readings{};
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (i == 1) {
            clock.sleepMs(kFirstPauseMs);
        } else if (i > 1) {
            clock.sleepMs(readings[i - 1] == readings[i - 2] ? kSteadyPauseMs : kMovingPauseMs);
        }
        platform::MemoryStatus status;
        if (!os.globalMemoryStatus(status) || status.availPhys > kMaxReadingBytes) return std::nullopt;
        readings[i] = status.availPhys;
    }
    std::sort(readings.begin(), readings.end());
    return readings[2];
}

double amountFreedMb(std::uint64_t before, std::uint64_t after) {
    if (after <= before) return 0.0;
    const std::uint64_t freed = after - before;
    if (freed > kMaxReadingBytes) return -1.0;
    return static_cast<double>(freed) * kBytesToMb;
}

}  // namespace zk::memory
