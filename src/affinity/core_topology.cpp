#include "affinity/core_topology.h"

#include <algorithm>

#include "affinity/affinity_log.h"
#include "affinity/affinity_module.h"
#include "platform/platform.h"

namespace zk::affinity {

std::uint64_t maskOf(const CoreList& cores) {
    std::uint64_t mask = 0;
    for (const std::int32_t c : cores)
        if (c >= 0 && c <= 63) mask |= 1ull << c;
    return mask;
}

CoreList coresOf(std::uint64_t mask) {
    CoreList cores;
    for (std::int32_t i = 0; i < 64; ++i)
        if (mask & (1ull << i)) cores.push_back(i);
    return cores;
}

std::int32_t LogicalCoreCount() {
    std::atomic<std::int32_t>& cached = affinity().coreCount;
    std::int32_t n = cached.load(std::memory_order_relaxed);
    if (n > 0) return n;
    const std::uint32_t read = platform::system().logicalProcessorCount();
    n = read < 1 ? 1 : static_cast<std::int32_t>(std::min<std::uint32_t>(read, 0x7FFFFFFF));
    cached.store(n, std::memory_order_relaxed);
    return n;
}

CoreList BuildBackgroundPinSet(std::int32_t coreCount, int /*loadClass*/) {
    if (coreCount < 1) return {};
    if (coreCount >= 4 && coreCount <= 8) {
        LogInfo("[InverseAffinity] Background pin set (4-8 cores) => {0,3}");
        return {0, 3};
    }
    CoreList cores{0};
    if (coreCount > 3) {
        cores.push_back(3);
        LogInfo("[InverseAffinity] Background pin set (fallback) => {0,3}");
    } else if (coreCount >= 2) {
        cores.push_back(coreCount - 1);
        LogInfo("[InverseAffinity] Background pin set (fallback) => {0,last}");
    } else {
        LogInfo("[InverseAffinity] Background pin set => {0}");
    }
    std::sort(cores.begin(), cores.end());
    cores.erase(std::unique(cores.begin(), cores.end()), cores.end());
    return cores;
}

}  // namespace zk::affinity
