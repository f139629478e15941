#include "disk/disk_log.h"

#include <chrono>
#include <exception>

#include "common/reset_registry.h"
#include "disk/library_thread.h"

namespace zk::disk {

namespace {

thread_local const DiskLogQueue* t_workerOf = nullptr;

}  // namespace

void DiskLogQueue::push(int level, std::u16string text) {
    {
        std::lock_guard lk(m_);
        queue_.push_back(Entry{level, std::move(text)});
    }
    // Wakes the worker at once; its 100 ms poll would find the line too, only later.
    cv_.notify_one();
}

void DiskLogQueue::setLevel(std::int32_t level) {
    level_.store(level);
    log(kMilestone, u"[Zelkor] Logging level changed: ", level);
}

void DiskLogQueue::setCallback(ZelkorDiskLogCallback cb) {
    callback_.store(cb);
    if (!cb) return;
    std::lock_guard start(startMutex_);
    if (running_.load()) return;
    std::uint64_t epoch;
    {
        // A new epoch: a worker still draining after a stop (perhaps the very thread that
        // registers, from its callback) ends after its callback and leaves the rest to this one.
        std::lock_guard lk(m_);
        epoch = ++epoch_;
        ++started_;
    }
    running_.store(true);
    bool started = false;
    try {
        started = startLibraryThread([this, epoch] { run(epoch); });
    } catch (const std::exception&) {
        started = false;
    }
    if (started) return;
    running_.store(false);  // lines stay queued for a later registration
    std::lock_guard lk(m_);
    --started_;
}

bool DiskLogQueue::onWorkerThread() const { return t_workerOf == this; }

void DiskLogQueue::stopWorker() {
    std::unique_lock lk(m_);
    if (onWorkerThread()) {
        running_.store(false);
        ++epoch_;  // this worker ends after the callback it is in
        return;
    }
    lk.unlock();
    std::uint64_t target;
    {
        // Only the workers started so far are waited for. A callback may register while
        // this waits (not under startMutex_): that worker is not waited for, and the one
        // it follows ends (see setCallback).
        std::lock_guard start(startMutex_);
        running_.store(false);
        lk.lock();
        target = started_;
    }
    cv_.notify_all();
    aliveCv_.wait(lk, [&] { return ended_ >= target; });
}

bool DiskLogQueue::shouldEnd(std::uint64_t epoch) const {
    return epoch != epoch_ || (!running_.load() && queue_.empty());
}

bool DiskLogQueue::deliverRound(std::uint64_t epoch) {
    std::unique_lock lk(m_);
    cv_.wait_for(lk, std::chrono::milliseconds(100), [&] { return !queue_.empty() || !running_.load(); });
    while (!queue_.empty() && epoch == epoch_) {
        Entry e = std::move(queue_.front());
        queue_.pop_front();
        lk.unlock();
        if (ZelkorDiskLogCallback cb = callback_.load())
            cb(e.level, reinterpret_cast<const zk_wchar*>(e.text.c_str()));
        lk.lock();
    }
    return !shouldEnd(epoch);
}

void DiskLogQueue::run(std::uint64_t epoch) {
    {
        // A worker left behind by a stop from its own thread may still be in its callback.
        std::unique_lock lk(m_);
        aliveCv_.wait(lk, [&] { return !workerAlive_; });
        workerAlive_ = true;
    }
    t_workerOf = this;
    try {
        while (deliverRound(epoch)) {
        }
    } catch (...) {
        // A callback that throws ends delivery; the library stays up.
    }
    t_workerOf = nullptr;
    {
        std::lock_guard lk(m_);
        workerAlive_ = false;
        ++ended_;
    }
    aliveCv_.notify_all();
}

std::deque<DiskLogQueue::Entry> DiskLogQueue::queuedForTests() {
    std::lock_guard lk(m_);
    return queue_;
}

void DiskLogQueue::resetForTests() {
    // Only for the tests' isolation: a worker left running here changes nothing a host can see.
    stopWorker();
    callback_.store(nullptr);
    level_.store(0);
    std::lock_guard lk(m_);
    queue_.clear();
}

DiskLogQueue& diskLog() {
    // Never destroyed: a worker may outlive the statics of a host that exits without
    // shutting the module down, and the end of the process waits for no thread.
    static DiskLogQueue& instance = *new DiskLogQueue;
    return instance;
}

ZK_REGISTER_TEST_RESET([] { diskLog().resetForTests(); })

}  // namespace zk::disk

