#include "disk/warmup_pool.h"

#include <exception>

#include "disk/library_thread.h"

namespace zk::disk {

WarmupPool::WarmupPool() {
    for (std::size_t i = 0; i < kWorkers; ++i) {
        {
            std::lock_guard lk(m_);
            ++alive_;
        }
        bool ok = false;
        try {
            ok = startLibraryThread([this] { run(); });
        } catch (const std::exception&) {
            ok = false;
        }
        std::lock_guard lk(m_);
        if (ok) {
            ++started_;
        } else {
            --alive_;
        }
    }
}

WarmupPool::~WarmupPool() {
    std::unique_lock lk(m_);
    stop_ = true;
    cv_.notify_all();
    doneCv_.wait(lk, [&] { return alive_ == 0; });
}

std::future<void> WarmupPool::submit(std::function<void()> task) {
    std::packaged_task<void()> t(std::move(task));
    std::future<void> f = t.get_future();
    {
        std::lock_guard lk(m_);
        if (started_ != 0) {
            queue_.push_back(std::move(t));
            cv_.notify_one();
            return f;
        }
    }
    t();
    return f;
}

void WarmupPool::run() {
    std::unique_lock lk(m_);
    for (;;) {
        cv_.wait(lk, [&] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) break;  // stopping, and nothing left to drain
        std::packaged_task<void()> t = std::move(queue_.front());
        queue_.pop_front();
        lk.unlock();
        t();  // an exception is kept in the task's future
        lk.lock();
    }
    --alive_;
    doneCv_.notify_all();
}

}  // namespace zk::disk
