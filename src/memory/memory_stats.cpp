#include "memory/memory_stats.h"

#include <iterator>

namespace zk::memory {

void StatsBook::record(int code, double amountMb) {
    std::lock_guard lk(m_);
    ++stats_.calls;
    // Adding 0 would change nothing; the test keeps negative and NaN amounts out of the total.
    if (amountMb > 0.0) stats_.totalFreedMb += amountMb;
    stats_.lastCode = code;
    if (code >= 0 && code < static_cast<int>(std::size(stats_.codeCounts))) ++stats_.codeCounts[code];
}

MemoryStats StatsBook::snapshot() const {
    std::lock_guard lk(m_);
    return stats_;
}

void StatsBook::reset() {
    std::lock_guard lk(m_);
    stats_ = MemoryStats{};
}

}  // namespace zk::memory
