#pragma once
// The disk module's log channel: a level, the host's callback, and a queue that one worker
// thread delivers from, so that logging never waits for the host.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "disk/wide_text.h"
#include "zelkor.h"

namespace zk::disk {

inline constexpr int kMilestone = 1;
inline constexpr int kDetail = 2;

class DiskLogQueue {
public:
    struct Entry {
        std::int32_t level;
        std::u16string text;
    };

    // Whether a line of this level would be queued; callers test it before formatting.
    bool wants(int level) const {
        const int current = level_.load(std::memory_order_relaxed);
        return current != 0 && level <= current && callback_.load(std::memory_order_relaxed) != nullptr;
    }
    template <typename... Pieces>
    void log(int level, const Pieces&... pieces) {
        if (wants(level)) push(level, join(pieces...));
    }

    void setCallback(ZelkorDiskLogCallback cb);
    void setLevel(std::int32_t level);
    // Stops the worker and waits for it to leave, except on the worker's own thread (a
    // callback that shuts the module down): that worker stops once its callback returns
    // and leaves what is still queued to the next worker.
    void stopWorker();
    bool onWorkerThread() const;
    // Whether a worker is to go on delivering (false from the start of a stop).
    bool running() const { return running_.load(); }

    // One delivery round of the worker: waits up to 100 ms for entries, then delivers
    // them in order, the callback called without the lock. False once the worker is to end.
    bool deliverRound(std::uint64_t epoch);
    std::deque<Entry> queuedForTests();
    void resetForTests();

private:
    void push(int level, std::u16string text);
    void run(std::uint64_t epoch);
    bool shouldEnd(std::uint64_t epoch) const;

    std::atomic<std::int32_t> level_{0};
    std::atomic<ZelkorDiskLogCallback> callback_{nullptr};

    std::mutex m_;  // guards queue_, workerAlive_, started_, ended_, epoch_
    std::condition_variable cv_;
    std::condition_variable aliveCv_;
    std::deque<Entry> queue_;
    bool workerAlive_ = false;  // a worker is delivering
    std::uint64_t started_ = 0;  // workers started, and those that have ended
    std::uint64_t ended_ = 0;
    std::uint64_t epoch_ = 0;  // moved on by every start and by a stop from the worker's own thread
    std::atomic<bool> running_{false};
    std::mutex startMutex_;    // one start or stop at a time
};

DiskLogQueue& diskLog();

}  // namespace zk::disk
