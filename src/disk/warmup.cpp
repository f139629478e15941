#include "disk/warmup.h"

#include <algorithm>

#include "common/reset_registry.h"
#include "disk/disk_log.h"
#include "disk/disk_privilege.h"
#include "platform/platform.h"

namespace zk::disk {

namespace pf = platform;

std::vector<std::pair<std::size_t, std::size_t>> splitRanges(std::size_t count) {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    if (count == 0) return out;
    const std::size_t chunks = std::min<std::size_t>(count, WarmupPool::kWorkers);
    const std::size_t size = (count + chunks - 1) / chunks;
    for (std::size_t begin = 0; begin < count && out.size() < chunks; begin += size)
        out.emplace_back(begin, std::min(begin + size, count));
    out.back().second = count;  // the last range takes the rest
    return out;
}

bool Warmup::enter() {
    std::unique_lock lk(lifecycle_);
    // A shutdown may be waiting for the very thread this runs on (a warmup started from the
    // log callback runs on the log worker), so a warmup gives up on its turn as soon as a
    // shutdown begins, never waits for one to end.
    ++waiting_;
    lifecycleCv_.wait(lk, [&] { return !warmupActive_ || shuttingDown_; });
    --waiting_;
    if (shuttingDown_) return false;
    warmupActive_ = true;
    return true;
}

void Warmup::leave() {
    {
        std::lock_guard lk(lifecycle_);
        warmupActive_ = false;
    }
    lifecycleCv_.notify_all();
}

std::uint32_t Warmup::run(const char16_t* folder) {
    if (!folder || !*folder) return 0;
    const std::u16string root(folder);
    diskLog().log(kMilestone, u"[Zelkor] Warmup begin for: ", root);
    std::uint32_t attributes = 0;
    if (!pf::api().files().getFileAttributes(root.c_str(), attributes) ||
        !(attributes & win::FILE_ATTRIBUTE_DIRECTORY)) {
        diskLog().log(kMilestone, u"[Zelkor] Invalid directory.");
        return 0;
    }
    if (!enter()) return 0;
    struct Leave {
        Warmup* w;
        ~Leave() { w->leave(); }
    } leaveOnExit{this};
    cancel_.store(false);
    enableFilePrivileges();
    {
        std::lock_guard lk(visited_.mutex());
        visited_.clearLocked();
        warmed_.store(0);
        diskLog().log(kDetail, u"[Zelkor] Context cleared.");
    }
    scan(root, 0);
    const std::uint32_t warmed = warmed_.load();
    diskLog().log(kMilestone, u"[Zelkor] Warmup completed. Files: ", warmed);
    return warmed;
}

void Warmup::scan(const std::u16string& path, int depth) {
    if (cancel_.load()) return;
    if (depth > kMaxDepth) {
        diskLog().log(kDetail, u"[Zelkor] Max depth reached: ", path);
        return;
    }
    if (visited_.insert(path) != VisitedPathSet::Insert::Added) return;
    diskLog().log(kDetail, u"[Zelkor] Scanning: ", path);

    std::vector<FoundFile> files;
    std::vector<std::u16string> dirs;
    {
        pf::Files& fs = pf::api().files();
        pf::FindData d;
        pf::FindHandle find = fs.findFirstFile((path + u"\\*").c_str(), d);
        if (!find) {
            diskLog().log(kDetail, u"[Zelkor] Failed to scan directory.");
            return;
        }
        do {
            if (d.name[0] == u'.' || (d.attributes & win::FILE_ATTRIBUTE_REPARSE_POINT)) continue;
            std::u16string full;
            full.reserve(path.size() + 1 + std::char_traits<char16_t>::length(d.name));
            full.append(path).append(1, u'\\').append(d.name);
            if (d.attributes & win::FILE_ATTRIBUTE_DIRECTORY)
                dirs.push_back(std::move(full));
            else
                files.push_back(FoundFile{std::move(full), d.size});
        } while (!cancel_.load() && fs.findNextFile(find, d));
    }
    if (!files.empty() && !cancel_.load()) warmFiles(files);
    for (const std::u16string& dir : dirs) {
        if (cancel_.load()) break;
        scan(dir, depth + 1);
    }
}

void Warmup::warmFiles(const std::vector<FoundFile>& files) {
    diskLog().log(kDetail, u"[Zelkor] Found files: ", static_cast<std::uint64_t>(files.size()));
    if (!pool_) pool_ = std::make_unique<WarmupPool>();  // this warmup's turn: no other touches it
    const auto ranges = splitRanges(files.size());
    // Every range submitted is waited for, even when a later submission throws: the
    // ranges read `files`, which lives in the caller's frame.
    struct Pending {
        std::vector<std::future<void>> futures;
        ~Pending() {
            for (auto& f : futures) f.wait();
        }
    } pending;
    pending.futures.reserve(ranges.size());
    for (const auto& [begin, end] : ranges) {
        pending.futures.push_back(pool_->submit([this, &files, begin = begin, end = end] {
            const std::uint32_t n = warmFileRange(files, begin, end, cancel_);
            if (n && !cancel_.load()) warmed_.fetch_add(n);
        }));
    }
}

void Warmup::cancel() {
    cancel_.store(true);
    diskLog().log(kMilestone, u"[Zelkor] Warmup cancellation requested.");
}

void Warmup::shutdown() {
    cancel_.store(true);
    std::unique_ptr<WarmupPool> pool;
    {
        std::unique_lock lk(lifecycle_);
        if (shuttingDown_ && diskLog().onWorkerThread()) {
            // Another shutdown is waiting for this very thread: it finishes the work.
            lk.unlock();
            diskLog().stopWorker();
            return;
        }
        lifecycleCv_.wait(lk, [&] { return !shuttingDown_; });
        shuttingDown_ = true;
        lifecycleCv_.notify_all();  // warmups waiting for their turn give up
        lifecycleCv_.wait(lk, [&] { return !warmupActive_; });
        pool = std::move(pool_);
    }
    diskLog().stopWorker();
    pool.reset();  // drains and waits for the four workers
    {
        std::lock_guard lk(lifecycle_);
        shuttingDown_ = false;
    }
    lifecycleCv_.notify_all();
    // Queued after the worker stopped: delivered only once a callback is registered again.
    diskLog().log(kMilestone, u"[Zelkor] Shutdown complete.");
}

int Warmup::waitingForTurn() {
    std::lock_guard lk(lifecycle_);
    return waiting_;
}

void Warmup::resetForTests() {
    shutdown();
    cancel_.store(false);
    warmed_.store(0);
    std::lock_guard lk(visited_.mutex());
    visited_.clearLocked();
}

Warmup& warmup() {
    // Never destroyed: see diskLog().
    static Warmup& instance = *new Warmup;
    return instance;
}

ZK_REGISTER_TEST_RESET([] { warmup().resetForTests(); })

}  // namespace zk::disk
