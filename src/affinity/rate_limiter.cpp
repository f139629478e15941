#include "affinity/rate_limiter.h"

#include "platform/platform.h"

namespace zk::affinity {

bool OperationRateLimiter::allow(std::string_view operation, std::int64_t intervalMs) {
    std::lock_guard lk(mutex_);
    const auto now = static_cast<std::int64_t>(platform::clocks().steadyNs());
    auto it = lastNs_.find(operation);
    if (it == lastNs_.end()) it = lastNs_.emplace(std::string(operation), 0).first;
    if (it->second != 0 && (now - it->second) / 1000000 < intervalMs) return false;
    it->second = now;
    return true;
}

void OperationRateLimiter::clear() {
    std::lock_guard lk(mutex_);
    lastNs_.clear();
}

}  // namespace zk::affinity
