#pragma once
// At most one bulk pass per game every 500 ms, on the steady clock.

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace zk::iotuner {

class GameRateLimit {
public:
    static constexpr std::int64_t kIntervalNs = 500'000'000;

    // True (and the time remembered) when the last pass for gamePid let through is at
    // least the interval ago; false with a warning line otherwise.
    bool allow(std::uint32_t gamePid);
    void clear();

private:
    std::mutex mutex_;
    std::unordered_map<std::uint32_t, std::int64_t> lastNs_;
};

}  // namespace zk::iotuner
