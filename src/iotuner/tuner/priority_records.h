#pragma once
// The values a process had when the tuner first saw it, kept until a restore puts them
// back. Each map has its own lock, held only for a lookup, an insert, a copy or a removal.

#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zk::iotuner {

class FirstSeenMap {
public:
    using Entry = std::pair<std::uint32_t, std::uint32_t>;  // pid, value

    // Records value for pid unless pid already has one: the first value is the one restored.
    void record(std::uint32_t pid, std::uint32_t value);
    std::vector<Entry> copy() const;
    void remove(const std::vector<std::uint32_t>& pids);
    std::optional<std::uint32_t> find(std::uint32_t pid) const;
    std::size_t size() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::uint32_t, std::uint32_t> values_;
};

struct PriorityRecords {
    FirstSeenMap OriginalIoPriority;   // I/O priority, 0 very low .. 3 high
    FirstSeenMap OriginalCpuPriority;  // priority class
};

}  // namespace zk::iotuner
