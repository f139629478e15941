// The game-folder warmup over the simulated file tree.

#include <algorithm>
#include <atomic>
#include <future>
#include <functional>
#include <thread>

#include "disk/warmup.h"
#include "disk_fixture.h"
#include "support/watchdog.h"

namespace zk::test {
namespace {

using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

TEST(WarmupRanges, SplitsIntoAtMostFourRangesOfCeilingSize) {
    const std::vector<std::pair<std::size_t, Ranges>> cases = {
        {0, {}},
        {1, {{0, 1}}},
        {3, {{0, 1}, {1, 2}, {2, 3}}},
        {5, {{0, 2}, {2, 4}, {4, 5}}},
        {9, {{0, 3}, {3, 6}, {6, 9}}},  // a fourth range would start past the end
        {10, {{0, 3}, {3, 6}, {6, 9}, {9, 10}}},
    };
    for (const auto& [count, want] : cases) EXPECT_EQ(disk::splitRanges(count), want) << count << " files";
}

using WarmupTest = DiskTest;

TEST_F(WarmupTest, WarmsTheFirst64KiBOfEveryVisibleFileWithItsLines) {
    file("a.pak", 100);
    file("b.pak", 70000);
    file("empty.txt", 0);            // skipped quietly, never counted
    file(".hidden", 10);             // dot-names are never visited
    dir(".git");
    file(".git\\obj", 10);
    dir("link").attributes |= win::FILE_ATTRIBUTE_REPARSE_POINT;  // junctions are not followed
    file("link\\x", 10);
    dir("sub");
    file("sub\\c.pak", 4096);
    std::atomic<bool> readOnCaller{false};
    const auto caller = std::this_thread::get_id();
    machine.setHook(sim::Op::TouchPages, [&] { readOnCaller = readOnCaller || std::this_thread::get_id() == caller; });

    EXPECT_EQ(warm(), 3u);
    EXPECT_FALSE(readOnCaller) << "the pool's workers read";
    EXPECT_EQ(cached("a.pak"), 100u);
    EXPECT_EQ(cached("b.pak"), 65536u);
    EXPECT_EQ(cached("sub\\c.pak"), 4096u);
    EXPECT_EQ(cached(".hidden") + cached(".git\\obj") + cached("link\\x"), 0u);
    // Each view prefetched once, with its own length (the batches run on any worker).
    std::vector<std::pair<std::u16string, std::uint64_t>> prefetched;
    for (const auto& r : machine.prefetches()) prefetched.emplace_back(r.path, r.bytes);
    std::sort(prefetched.begin(), prefetched.end());
    EXPECT_EQ(prefetched, (decltype(prefetched){
                              {u"C:\\game\\a.pak", 100}, {u"C:\\game\\b.pak", 65536}, {u"C:\\game\\sub\\c.pak", 4096}}));
    for (const char* privilege : {"SeBackupPrivilege", "SeRestorePrivilege", "SeChangeNotifyPrivilege"})
        EXPECT_TRUE(machine.privilegeEnabled(privilege)) << privilege;
    EXPECT_EQ(logged(), (Lines{
                            "1 [Zelkor] Logging level changed: 2",
                            "1 [Zelkor] Warmup begin for: C:\\game",
                            "2 [Zelkor] Context cleared.",
                            "2 [Zelkor] Scanning: C:\\game",
                            "2 [Zelkor] Found files: 3",
                            "2 [Zelkor] Prefetch batch size: 1",
                            "2 [Zelkor] Prefetch batch size: 1",
                            "2 [Zelkor] Scanning: C:\\game\\sub",
                            "2 [Zelkor] Found files: 1",
                            "2 [Zelkor] Prefetch batch size: 1",
                            "1 [Zelkor] Warmup completed. Files: 3",
                        }));
}

TEST_F(WarmupTest, RefusesWhatIsNotADirectory) {
    file("a.pak", 10);
    const std::vector<std::pair<const char16_t*, Lines>> cases = {
        {nullptr, {}},
        {u"", {}},
        {u"C:\\game\\a.pak", {"1 [Zelkor] Warmup begin for: C:\\game\\a.pak", "1 [Zelkor] Invalid directory."}},
        {u"C:\\nowhere", {"1 [Zelkor] Warmup begin for: C:\\nowhere", "1 [Zelkor] Invalid directory."}},
    };
    logged();
    for (const auto& [folder, want] : cases) {
        ZelkorRegisterDiskLogCallback(&collect);
        EXPECT_EQ(ZelkorWarmupGameFolder(folder), 0u);
        EXPECT_EQ(logged(), want);
    }
}

TEST_F(WarmupTest, DescendsFortyLevelsAndNoFurther) {
    for (int levels : {40, 41}) {
        std::string path;
        for (int i = 1; i <= levels; ++i) dir(path += (i > 1 ? "\\d" : "d") + std::to_string(i) + "_" + std::to_string(levels));
        file(path + "\\f", 10);
        ZelkorRegisterDiskLogCallback(&collect);
        const std::uint32_t warmed = warm();
        const bool stopped = has(logged(), "2 [Zelkor] Max depth reached: C:\\game\\" + path);
        EXPECT_EQ(warmed, 1u) << levels;  // the forty-deep file, never the forty-one-deep one
        EXPECT_EQ(stopped, levels == 41) << levels;
    }
}

TEST_F(WarmupTest, ScansADirectoryReachedTwiceOnce) {
    dir("maps").listedTwice = true;
    file("maps\\m.bsp", 10);
    EXPECT_EQ(warm(), 1u);
    EXPECT_TRUE(has(logged(), "2 [Zelkor] Skipping visited path: C:\\game\\maps"));
}

TEST_F(WarmupTest, StopsEnteringDirectoriesAtTenThousand) {
    for (int i = 0; i < 10000; ++i) dir("d" + std::to_string(i));  // with the root, one too many
    file("d9999\\f", 10);
    EXPECT_EQ(warm(), 0u);
    EXPECT_EQ(std::ranges::count(logged(), std::string("2 [Zelkor] Path limit reached.")), 1);
}

TEST_F(WarmupTest, AFileThatFailsIsLoggedAndNotCounted) {
    const std::vector<std::tuple<std::string, std::function<void(sim::SimFsEntry&)>, std::string>> cases = {
        {"open", [](auto& e) { e.openError = win::ERROR_ACCESS_DENIED; }, "2 [Zelkor] Failed to open: C:\\game\\bad"},
        {"mapping", [](auto& e) { e.mapError = win::ERROR_NOT_ENOUGH_MEMORY; }, "2 [Zelkor] Mapping failed: C:\\game\\bad"},
        {"view", [](auto& e) { e.viewError = win::ERROR_NOT_ENOUGH_MEMORY; }, "2 [Zelkor] View failed: C:\\game\\bad"},
        // An in-page error while reading (a lost network drive) is a failure, never a crash.
        {"in-page", [](auto& e) { e.inPageError = true; }, "2 [Zelkor] Read failed: C:\\game\\bad"},
        {"enumeration", [](auto& e) { e.enumError = win::ERROR_ACCESS_DENIED; }, "2 [Zelkor] Failed to scan directory."},
    };
    file("good", 10);
    for (const auto& [name, arrange, line] : cases) {
        sim::SimFsEntry& bad = name == "enumeration" ? dir("bad") : file("bad", 10);
        arrange(bad);
        file("bad\\inner", 10);  // listed only if the directory could be enumerated
        ZelkorRegisterDiskLogCallback(&collect);
        EXPECT_EQ(warm(), 1u) << name;
        EXPECT_TRUE(has(logged(), line)) << name;
        bad = sim::SimFsEntry{};
        machine.addFile(u"C:\\game\\bad", 0);
    }
}

// Game files held open by others (an updater writing, a launcher about to delete) are still
// warmed, here without the prefetch routine; only an open that shares nothing keeps the warmup out.
TEST_F(WarmupTest, ReadsFilesThatOthersHoldOpenUnlessTheyShareNothingWithoutThePrefetchRoutine) {
    machine.hideRoutine(platform::Routine::PrefetchVirtualMemory);
    constexpr std::uint32_t kDelete = 0x00010000, kShareAll = 7;
    file("a", 10);
    for (const std::uint32_t access : {win::GENERIC_READ, win::GENERIC_WRITE, kDelete}) {
        const auto held = machine.files().createFile(u"C:\\game\\a", access, kShareAll, win::OPEN_EXISTING, 0);
        ASSERT_TRUE(held);
        EXPECT_EQ(warm(), 1u) << std::hex << access;
    }
    EXPECT_EQ(cached("a"), 10u);
    const auto exclusive = machine.files().createFile(u"C:\\game\\a", win::GENERIC_READ, 0, win::OPEN_EXISTING, 0);
    EXPECT_EQ(warm(), 0u);
    EXPECT_TRUE(has(logged(), "2 [Zelkor] Failed to open: C:\\game\\a"));
}

// A second warmup waits for the first to end: they share the pool, the visited set and the
// count. The first is held in its read until the second waits for its turn (or has ended).
TEST_F(WarmupTest, ConcurrentWarmupsTakeTurns) {
    dir("one");
    file("one\\a", 10);
    dir("two");
    file("two\\b", 10);
    file("two\\c", 10);
    std::promise<void> reading;
    std::atomic<bool> first{true}, secondEnded{false};
    machine.setHook(sim::Op::TouchPages, [&] {
        if (!first.exchange(false)) return;
        reading.set_value();
        while (disk::warmup().waitingForTurn() == 0 && !secondEnded) std::this_thread::yield();
    });
    mustReturn("two warmups", [&] {
        std::thread a([] { warm("C:\\game\\one"); });
        reading.get_future().wait();
        std::thread b([&] {
            warm("C:\\game\\two");
            secondEnded = true;
        });
        a.join();
        b.join();
    });
    machine.setHook(sim::Op::TouchPages, nullptr);
    Lines turns;
    for (const std::string& l : logged())
        if (l.find("Context cleared") != std::string::npos || l.find("completed") != std::string::npos)
            turns.push_back(l);
    EXPECT_EQ(turns, (Lines{"2 [Zelkor] Context cleared.", "1 [Zelkor] Warmup completed. Files: 1",
                            "2 [Zelkor] Context cleared.", "1 [Zelkor] Warmup completed. Files: 2"}));
}

// A cancel from another thread: batches already counted stay counted; the batch being
// read when it lands is not, and its views are unmapped all the same (no handle is left).
TEST_F(WarmupTest, CancelReturnsTheFinishedBatches) {
    const std::vector<std::tuple<std::string, sim::Op, int, int, std::uint32_t>> cases = {
        {"entering", sim::Op::FindFirstFile, 2, 3, 3},  // as the scan enters the subdirectory
        {"reading", sim::Op::TouchPages, 1, 1, 0},      // inside the only batch of the root
    };
    for (const auto& [root, op, onCall, rootFiles, want] : cases) {
        dir(root);
        for (int i = 0; i < rootFiles; ++i) file(root + "\\f" + std::to_string(i), 10);
        dir(root + "\\sub");
        file(root + "\\sub\\d", 10);
        std::atomic<int> calls{0};
        machine.setHook(op, [&] {
            if (++calls == onCall) std::thread([] { ZelkorCancelWarmup(); }).join();
        });
        EXPECT_EQ(warm((std::string(kRoot) + "\\" + root).c_str()), want) << root;
        machine.setHook(op, nullptr);
        EXPECT_EQ(cached(root + "\\sub\\d"), 0u);
        EXPECT_EQ(machine.openHandleCount(), 0u);
    }
}

// The warmup is held as it enters a subdirectory, its first batch counted. A shutdown that
// did not wait for it would end at once; the bounded look only decides how surely that is seen.
TEST_F(WarmupTest, ShutdownWaitsForAWarmupInFlightAndTheNextOneRebuildsThePool) {
    file("a", 10);
    dir("sub");
    file("sub\\b", 10);
    std::thread shutdown;
    std::atomic<bool> shutDown{false};
    std::atomic<int> finds{0};
    machine.setHook(sim::Op::FindFirstFile, [&] {
        if (++finds != 2) return;
        shutdown = std::thread([&] {
            ZelkorShutdown();
            shutDown = true;
        });
        while (!disk::warmup().cancelRequested()) std::this_thread::yield();
        for (int i = 0; i < 100 && !shutDown; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_FALSE(shutDown) << "the shutdown ended while a warmup was in flight";
    });
    EXPECT_EQ(warm(), 1u);  // the subdirectory is never read
    shutdown.join();
    machine.setHook(sim::Op::FindFirstFile, nullptr);
    EXPECT_EQ(warm(), 2u);
}

}  // namespace
}  // namespace zk::test
