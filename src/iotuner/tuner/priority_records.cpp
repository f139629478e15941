#include "iotuner/tuner/priority_records.h"

namespace zk::iotuner {

void FirstSeenMap::record(std::uint32_t pid, std::uint32_t value) {
    std::lock_guard lk(mutex_);
    values_.emplace(pid, value);
}

std::vector<FirstSeenMap::Entry> FirstSeenMap::copy() const {
    std::lock_guard lk(mutex_);
    return {values_.begin(), values_.end()};
}

void FirstSeenMap::remove(const std::vector<std::uint32_t>& pids) {
    std::lock_guard lk(mutex_);
    for (std::uint32_t pid : pids) values_.erase(pid);
}

std::optional<std::uint32_t> FirstSeenMap::find(std::uint32_t pid) const {
    std::lock_guard lk(mutex_);
    auto it = values_.find(pid);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::size_t FirstSeenMap::size() const {
    std::lock_guard lk(mutex_);
    return values_.size();
}

void FirstSeenMap::clear() {
    std::lock_guard lk(mutex_);
    values_.clear();
}

}  // namespace zk::iotuner
