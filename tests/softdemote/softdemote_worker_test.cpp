// Engines through the exports, with their worker threads: start and stop lines, a stop
// that wakes a waiting worker or waits for a running pass, a stop from the worker itself,
// and bad handles.

#include <atomic>
#include <condition_variable>
#include <future>
#include <thread>

#include "softdemote_fixture.h"

namespace zk::test {
namespace {

using sim::Op;

class SoftDemoteWorkerTest : public SoftDemoteTest {};

TEST_F(SoftDemoteWorkerTest, StartAndStopThroughTheExports) {
    const std::int32_t cores[] = {1, 2};
    SoftDemoteHandle plain = StartSoftDemoteV4(nullptr, kGame, 0);
    SoftDemoteHandle laid = StartSoftDemoteV4WithLayout("low", kGame, 0, cores, 2, -1);
    ASSERT_TRUE(plain && laid);
    StopSoftDemoteV4(plain);
    StopSoftDemoteV4(laid);
    const Lines l = lines();
    for (const char* line : {"Engine constructed (tier=mid)", "Engine constructed (tier=low)"})
        EXPECT_EQ(std::count(l.begin(), l.end(), line), 1) << line;
    EXPECT_EQ(std::count(l.begin(), l.end(), "Engine gestart"), 2);
    EXPECT_EQ(std::count(l.begin(), l.end(), "Engine gestopt"), 2);
    EXPECT_EQ(l.back(), "Engine gestopt");
    // Null, a handle stopped already and one never given are ignored.
    StopSoftDemoteV4(nullptr);
    StopSoftDemoteV4(plain);
    int notAnEngine = 0;
    StopSoftDemoteV4(reinterpret_cast<SoftDemoteHandle>(&notAnEngine));
    EXPECT_EQ(lines().size(), l.size());
}

TEST_F(SoftDemoteWorkerTest, AThreadThatCannotBeCreatedIsLoggedAndGivesNull) {
    machine.failOp(Op::StartModuleThread, win::ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(StartSoftDemoteV4("mid", kGame, 0), nullptr);
    EXPECT_EQ(StartSoftDemoteV4WithLayout("mid", kGame, 0, nullptr, 4, 0), nullptr);
    EXPECT_EQ(lines(), (Lines{"Engine constructed (tier=mid)",
                              "StartSoftDemoteV4 exception: worker thread not created (error 8)",
                              "Engine constructed (tier=mid)",
                              "StartSoftDemoteV4WithLayout exception: worker thread not created (error 8)"}));
}

TEST_F(SoftDemoteWorkerTest, StopWakesAWaitingWorkerAtOnce) {
    auto e = engine();
    std::thread waiter([&] { e->waitBeforeNextPass(3'600'000); });
    e->wake();  // a spurious wake-up waits on
    e->requestStop();
    waiter.join();
    EXPECT_EQ(machine.nowNs(), 0u) << "no simulated time passed";
}

TEST_F(SoftDemoteWorkerTest, StopWaitsForTheRunningPass) {
    add(601, "busy.exe");
    std::promise<void> inPass, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first{true};
    machine.setHook(Op::GetProcessTimes, [&] {
        if (first.exchange(false)) {
            inPass.set_value();
            released.wait();
        }
    });
    SoftDemoteHandle h = StartSoftDemoteV4("mid", kGame, 0);
    ASSERT_TRUE(h);
    inPass.get_future().wait();
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        StopSoftDemoteV4(h);
        stopped = true;
    });
    std::this_thread::yield();
    EXPECT_FALSE(stopped.load());
    release.set_value();
    stopper.join();
    EXPECT_EQ(lines().back(), "Engine gestopt");
}

TEST_F(SoftDemoteWorkerTest, LinesGoToStandardOutputUntilACallbackIsRegistered) {
    SetSoftDemoteLogCallback(nullptr);
    SoftDemoteHandle h = StartSoftDemoteV4("high", kGame, 0);
    ASSERT_TRUE(h);
    EXPECT_EQ(machine.stdOut().rfind("[ZelkorSoftDemote] Engine constructed (tier=high)\n", 0), 0u);
    listen();
    StopSoftDemoteV4(h);
    EXPECT_EQ(lines().back(), "Engine gestopt");
    EXPECT_EQ(machine.stdOut().find("gestopt"), std::string::npos);
}

TEST_F(SoftDemoteWorkerTest, AStopFromTheEnginesOwnWorkerLetsTheWorkerFreeIt) {
    add(601, "busy.exe");
    std::atomic<SoftDemoteHandle> handle{nullptr};
    std::mutex m;
    std::condition_variable cv;
    bool handed = false;
    machine.setHook(Op::GetProcessTimes, [&] {
        std::unique_lock lk(m);
        cv.wait(lk, [&] { return handed; });
        if (SoftDemoteHandle h = handle.exchange(nullptr)) StopSoftDemoteV4(h);  // on the worker
    });
    SoftDemoteHandle h = StartSoftDemoteV4("mid", kGame, 0);
    ASSERT_TRUE(h);
    {
        std::lock_guard lk(m);
        handle = h;
        handed = true;
    }
    cv.notify_all();
    // The worker ends its pass, logs its last line and frees the engine.
    for (;;) {
        const Lines l = lines();
        if (!l.empty() && l.back() == "Engine gestopt") break;
        std::this_thread::yield();
    }
    StopSoftDemoteV4(h);  // no longer the host's: ignored
}

}  // namespace
}  // namespace zk::test
