#pragma once
// A boolean computed once per process by its first caller, as with the system's one-time
// initialisation (concurrent first callers wait for it), and resettable for tests.

#include <atomic>
#include <mutex>

namespace zk::common {

class OnceBool {
public:
    template <typename Compute>
    bool get(Compute&& compute) {
        if (done_.load(std::memory_order_acquire)) return value_;
        std::lock_guard lk(m_);
        if (!done_.load(std::memory_order_relaxed)) {
            value_ = compute();
            done_.store(true, std::memory_order_release);
        }
        return value_;
    }
    void reset() {
        std::lock_guard lk(m_);
        value_ = false;
        done_.store(false);
    }

private:
    std::mutex m_;
    std::atomic<bool> done_{false};
    bool value_ = false;
};

}  // namespace zk::common
