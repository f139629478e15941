// The disk log channel: level gating, delivery by the worker, and shutdown.

#include <atomic>

#include "disk/warmup.h"
#include "disk_fixture.h"

namespace zk::test {
namespace {

using DiskLogTest = DiskTest;

TEST_F(DiskLogTest, TheLevelGatesWhatIsQueued) {
    file("a", 10);
    const std::vector<std::pair<int, Lines>> cases = {
        {0, {}},
        {1, {"1 [Zelkor] Logging level changed: 1", "1 [Zelkor] Warmup begin for: C:\\game",
             "1 [Zelkor] Warmup completed. Files: 1", "1 [Zelkor] Warmup cancellation requested."}},
        {-1, {}},
    };
    for (const auto& [level, want] : cases) {
        ZelkorRegisterDiskLogCallback(&collect);
        logged();
        ZelkorSetDiskLogLevel(level);
        warm();
        ZelkorCancelWarmup();
        if (level <= 0) {
            EXPECT_TRUE(disk::diskLog().queuedForTests().empty()) << level;
        }
        ZelkorRegisterDiskLogCallback(&collect);
        EXPECT_EQ(logged(), want) << level;
    }
}

TEST_F(DiskLogTest, NothingIsQueuedWithoutACallback) {
    logged();
    ZelkorRegisterDiskLogCallback(nullptr);
    ZelkorCancelWarmup();
    EXPECT_TRUE(disk::diskLog().queuedForTests().empty());
}

TEST_F(DiskLogTest, TheShutdownLineWaitsForTheNextRegistration) {
    logged();
    ZelkorRegisterDiskLogCallback(&collect);
    ZelkorShutdown();
    EXPECT_EQ(logged(), Lines{});
    ZelkorRegisterDiskLogCallback(&collect);
    EXPECT_EQ(logged(), Lines{"1 [Zelkor] Shutdown complete."});
}

// A callback that shuts the module down runs on the log worker, which cannot wait for
// itself: it stops after that callback, and what is queued waits for the next worker.
std::atomic<int> g_shutdownsFromCallback{0};
void ZK_CALL shutDownOnce(int32_t, const zk_wchar*) {
    if (g_shutdownsFromCallback++ == 0) ZelkorShutdown();
}

TEST_F(DiskLogTest, AShutdownFromTheLogCallbackStopsItsOwnWorker) {
    logged();
    g_shutdownsFromCallback = 0;
    ZelkorRegisterDiskLogCallback(&shutDownOnce);
    ZelkorCancelWarmup();
    disk::diskLog().stopWorker();
    EXPECT_EQ(g_shutdownsFromCallback.load(), 1);
    ZelkorRegisterDiskLogCallback(&collect);
    EXPECT_EQ(logged(), Lines{"1 [Zelkor] Shutdown complete."});
}

}  // namespace
}  // namespace zk::test
