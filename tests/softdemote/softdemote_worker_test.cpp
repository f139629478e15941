// Engines through the exports, with their worker threads: start and stop lines, a stop
// that wakes a waiting worker or waits for a running pass, a stop from the worker itself,
// and bad handles.

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "softdemote_fixture.h"
#include "support/watchdog.h"

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
    // A handle stopped already and one never given are ignored.
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

// After a quiet pass the worker waits the tier's interval on the simulated clock, woken
// every 50 ms of it: the second pass comes no sooner.
TEST_F(SoftDemoteWorkerTest, TheNextPassWaitsForTheTiersInterval) {
    auto e = engine("low", 8);
    std::atomic<int> passes{0};
    machine.setHook(Op::GetSystemTimes, [&] {
        if (++passes == 2) e->requestStop();
    });
    std::uint64_t advancedMs = 0;
    mustReturn("the second pass", [&] {
        e->start();
        while (passes == 0) std::this_thread::yield();
        for (; passes < 2; advancedMs += 50) {
            machine.advanceMs(50);
            e->wake();
            for (int i = 0; i < 100 && passes < 2; ++i) std::this_thread::yield();
        }
    });
    EXPECT_GE(advancedMs, 4000u);
}

// The pass is held for a while after the stop began: the stop must still be waiting.
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
    std::future<void> stopped = std::async(std::launch::async, [h] { StopSoftDemoteV4(h); });
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    release.set_value();
    mustReturn("StopSoftDemoteV4 after the pass", [&] { stopped.wait(); });
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

// A stop from a worker's log line, of its own engine or of another: the worker cannot wait
// for itself, and the other engine's worker needs the log lock that the line holds, so each
// stopped engine is left to its worker, which frees it as it leaves.
std::atomic<SoftDemoteHandle> g_stopFromLine{nullptr};
void ZK_CALL stopOnStartLine(const char* line) {
    if (std::string(line) != "[ZelkorSoftDemote] Engine gestart") return;
    SoftDemoteHandle h = nullptr;
    while (!(h = g_stopFromLine.exchange(nullptr))) std::this_thread::yield();  // until the host has it
    StopSoftDemoteV4(h);
}

TEST_F(SoftDemoteWorkerTest, AStopFromAWorkersLogLineLeavesTheEngineToItsWorker) {
    for (bool own : {true, false}) {
        SCOPED_TRACE(own ? "its own engine" : "another engine");
        listen();
        SoftDemoteHandle other = StartSoftDemoteV4("low", kGame, 0);
        mustReturn("StopSoftDemoteV4 from a log line", [&] {
            while (lines().back() != "Engine gestart") std::this_thread::yield();
            SetSoftDemoteLogCallback(&stopOnStartLine);
            SoftDemoteHandle engine = StartSoftDemoteV4("mid", kGame, 0);
            g_stopFromLine = own ? engine : other;
            StopSoftDemoteV4(own ? other : engine);
            machine.joinModuleThreads();  // every worker has left, the one that freed its engine too
        });
        EXPECT_EQ(g_stopFromLine.load(), nullptr);
    }
}

}  // namespace
}  // namespace zk::test
