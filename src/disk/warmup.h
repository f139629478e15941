#pragma once
// The game-folder warmup: a depth-first scan of the folder whose files are warmed, one
// directory at a time, in up to four ranges on the warmup pool.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "disk/visited_paths.h"
#include "disk/warm_file_range.h"
#include "disk/warmup_pool.h"

namespace zk::disk {

inline constexpr int kMaxDepth = 40;

// [begin, end) of each range that a directory's `count` files are split into:
// min(count, 4) ranges of ceil(count / ranges) files, none starting past the end.
std::vector<std::pair<std::size_t, std::size_t>> splitRanges(std::size_t count);

class Warmup {
public:
    // Blocks until the tree is done, cancelled or shut down; the files warmed.
    std::uint32_t run(const char16_t* folder);
    void cancel();
    bool cancelRequested() const { return cancel_.load(); }
    // Cancels, waits for a running warmup to leave, stops the log worker and the pool.
    // Warmups waiting for their turn give up (0) as it begins.
    void shutdown();
    // Warmups waiting for another one to finish.
    int waitingForTurn();
    void resetForTests();

private:
    void scan(const std::u16string& path, int depth);
    void warmFiles(const std::vector<FoundFile>& files);
    // A warmup's turn: one at a time, and none once a shutdown has begun (false).
    bool enter();
    void leave();

    std::atomic<bool> cancel_{false};
    std::atomic<std::uint32_t> warmed_{0};
    VisitedPathSet visited_;

    // Lifecycle: the pool exists only while the lifecycle allows it, and is touched by the
    // one warmup in its turn or by a shutdown while no warmup runs.
    std::mutex lifecycle_;
    std::condition_variable lifecycleCv_;
    bool warmupActive_ = false;
    bool shuttingDown_ = false;
    int waiting_ = 0;
    std::unique_ptr<WarmupPool> pool_;
};

Warmup& warmup();

}  // namespace zk::disk
