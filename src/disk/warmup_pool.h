#pragma once
// Four library threads that run the warmup's file ranges, first in first out.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <mutex>

namespace zk::disk {

class WarmupPool {
public:
    static constexpr std::size_t kWorkers = 4;

    // Starts the workers; a pool whose workers could not start runs tasks on the caller.
    WarmupPool();
    // Lets the workers drain the queue, then waits for all of them to leave.
    ~WarmupPool();
    WarmupPool(const WarmupPool&) = delete;
    WarmupPool& operator=(const WarmupPool&) = delete;

    std::future<void> submit(std::function<void()> task);
    std::size_t workers() const { return started_; }

private:
    void run();

    std::mutex m_;  // guards everything below
    std::condition_variable cv_;
    std::condition_variable doneCv_;
    std::deque<std::packaged_task<void()>> queue_;
    bool stop_ = false;
    std::size_t started_ = 0;
    std::size_t alive_ = 0;
};

}  // namespace zk::disk
