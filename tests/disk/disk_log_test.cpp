// The disk log channel: level gating, delivery by the worker, and shutdown.

#include <atomic>
#include <future>
#include <thread>

#include "disk/warmup.h"
#include "disk_fixture.h"
#include "support/watchdog.h"

namespace zk::test {
namespace {

class DiskLogTest : public DiskTest {
protected:
    // From the callback: a warmup once the host's warmup has its turn, or a registration
    // once a stop has begun; each once.
    static void ZK_CALL warmOnceTheFirstHasItsTurn(int32_t, const zk_wchar* text) {
        if (std::u16string_view(reinterpret_cast<const char16_t*>(text)) == u"[Zelkor] Context cleared." &&
            !calledBack.exchange(true))
            secondWarmup = warm();
    }
    static void ZK_CALL registerOnceStopping(int32_t, const zk_wchar*) {
        if (calledBack.exchange(true)) return;
        while (disk::diskLog().running()) std::this_thread::yield();
        ZelkorRegisterDiskLogCallback(&collect);
    }
    static inline std::atomic<bool> calledBack{false};
    static inline std::atomic<std::uint32_t> secondWarmup{99};
};

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
        EXPECT_TRUE(level > 0 || disk::diskLog().queuedForTests().empty()) << level;
        ZelkorRegisterDiskLogCallback(&collect);
        EXPECT_EQ(logged(), want) << level;
    }
}

TEST_F(DiskLogTest, NothingIsQueuedWithoutACallbackAndTheShutdownLineWaitsForTheNextRegistration) {
    logged();
    ZelkorRegisterDiskLogCallback(nullptr);
    ZelkorCancelWarmup();
    EXPECT_TRUE(disk::diskLog().queuedForTests().empty());
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

// A warmup started from the callback while the host's warmup runs waits for its turn on the
// log worker; a shutdown from the host then waits for that worker: the waiting warmup gives
// up (0) as the shutdown begins.
TEST_F(DiskLogTest, AWarmupWaitingInTheCallbackGivesUpWhenTheHostShutsDown) {
    file("a", 10);
    logged();
    std::promise<void> inPool;
    std::atomic<bool> first{true};
    machine.setHook(sim::Op::CreateFile, [&] {
        if (!first.exchange(false)) return;
        inPool.set_value();
        while (!disk::warmup().cancelRequested()) std::this_thread::yield();  // until the shutdown
    });
    calledBack = false;
    ZelkorRegisterDiskLogCallback(&warmOnceTheFirstHasItsTurn);
    std::thread host([] { warm(); });
    mustReturn("ZelkorShutdown", [&] {
        inPool.get_future().wait();
        while (disk::warmup().waitingForTurn() == 0) std::this_thread::yield();
        ZelkorShutdown();
    });
    host.join();
    EXPECT_EQ(secondWarmup.load(), 0u);
}

// A callback that registers again while the host's shutdown waits for its worker: that
// worker ends after the callback, and the next one delivers the rest.
TEST_F(DiskLogTest, ARegistrationFromTheCallbackDuringAShutdownStartsTheNextWorker) {
    logged();
    calledBack = false;
    ZelkorRegisterDiskLogCallback(&registerOnceStopping);
    ZelkorCancelWarmup();
    mustReturn("ZelkorShutdown", [] { ZelkorShutdown(); });
    EXPECT_EQ(logged(), Lines{"1 [Zelkor] Shutdown complete."});
}

}  // namespace
}  // namespace zk::test
