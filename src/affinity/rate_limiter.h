#pragma once
// Admission per operation name: a call is admitted when at least the interval has passed
// since the last admitted call of that name. A refused call does not move the window.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zk::affinity {

class OperationRateLimiter {
public:
    bool allow(std::string_view operation, std::int64_t intervalMs);
    // The next call of every operation is admitted.
    void clear();

private:
    // Looked up by view, so that an admitted call allocates nothing once its name is known.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    std::mutex mutex_;
    std::unordered_map<std::string, std::int64_t, NameHash, std::equal_to<>> lastNs_;  // 0: never admitted
};

}  // namespace zk::affinity
