// The sampling exports' worker thread over the simulated machine: start, stop, join.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "support/machine_fixture.h"
#include "support/watchdog.h"
#include "zelkor.h"

namespace {

std::mutex g_logMutex;
std::vector<std::string> g_log;

void ZK_CALL collect(const char* line) {
    std::lock_guard lk(g_logMutex);
    g_log.emplace_back(line);
}

long count(const std::string& line) {
    std::lock_guard lk(g_logMutex);
    return std::count(g_log.begin(), g_log.end(), line);
}

const std::string kStarted = "[QTM] Sampling started.";
const std::string kStopped = "[QTM] Sampling stopped.";

class SamplerExportsTest : public zk::test::MachineTest {
protected:
    void SetUp() override {
        {
            std::lock_guard lk(g_logMutex);
            g_log.clear();
        }
        QTM_SetLogCallback(collect);
        QTM_ResetMetrics();
    }
    void TearDown() override {
        QTM_Stop();
        QTM_SetLogCallback(nullptr);
        QTM_ResetMetrics();
        MachineTest::TearDown();
    }
};

TEST_F(SamplerExportsTest, OneWorkerWhateverTheFailuresStopJoinsAndRestartWorks) {
    EXPECT_EQ(count("[QTM] Logging enabled."), 1);  // the callback's first line, before any worker
    // A thread that cannot be made: 0, and nothing left running or marked as running.
    machine.failOp(zk::sim::Op::StartModuleThread, zk::win::ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(QTM_Start(), 0);
    machine.setHook(zk::sim::Op::StartModuleThread, [] { throw std::bad_alloc(); });  // no exception crosses
    EXPECT_EQ(QTM_Start(), 0);
    machine.setHook(zk::sim::Op::StartModuleThread, nullptr);
    QTM_Stop();  // nothing to stop
    // Out of memory in the first analysed tick: that sample is lost and the worker goes on.
    std::atomic<bool> thrown{false};
    machine.setHook(zk::sim::Op::NtQuerySystemInformation, [&] {
        if (!thrown.exchange(true)) throw std::bad_alloc();
    });
    EXPECT_EQ(QTM_Start(), 1);
    EXPECT_EQ(QTM_Start(), 1);
    QtmMetrics m{};
    ASSERT_TRUE(zk::test::eventually([&] {
        QTM_GetMetrics(&m);
        return m.meanMs > 0;
    }));
    EXPECT_DOUBLE_EQ(m.meanMs, 1.0);  // 1 ms sleeps on the simulated clock
    zk::test::mustReturn("QTM_Stop", [] { QTM_Stop(); });
    EXPECT_TRUE(thrown.load());
    // The stop line is logged before Stop returns: the worker was joined.
    EXPECT_EQ(count(kStarted), 1);
    EXPECT_EQ(count(kStopped), 1);
    QTM_Stop();  // already stopped: returns at once
    QTM_GetMetrics(&m);
    EXPECT_DOUBLE_EQ(m.meanMs, 1.0);  // still readable while stopped

    ASSERT_EQ(QTM_Start(), 1);
    QTM_Stop();
    EXPECT_EQ(count(kStarted), 2);
    EXPECT_EQ(count(kStopped), 2);
    QTM_SetLogCallback(nullptr);  // silent: no line
    EXPECT_EQ(count("[QTM] Logging enabled."), 1);
    zk::common::resetAllModules();  // a library loaded afresh has no figures
    QTM_GetMetrics(&m);
    EXPECT_EQ(m.meanMs, 0.0);
}

// A restart measures afresh: nothing of the last run's window stays in its percentiles.
TEST_F(SamplerExportsTest, ARestartStartsFromAnEmptyWindow) {
    QtmMetrics m{};
    for (const auto& [overshootUs, p99Ms] : {std::pair{5000ull, 6.0}, std::pair{0ull, 1.0}}) {
        machine.scriptSleepOvershootUs(std::vector<std::uint64_t>(100, overshootUs));
        ASSERT_EQ(QTM_Start(), 1);
        EXPECT_TRUE(zk::test::eventually([&] { return QTM_GetMetrics(&m), m.p99Ms == p99Ms; })) << m.p99Ms;
        QTM_Stop();
    }
}

// A callback that stops on the worker's own thread, or stops, restarts and stops again:
// no stop may wait for itself, nor for the new worker, which waits for this thread to end.
std::atomic<int> g_starts{0};
bool g_restart = false;
void ZK_CALL stopFromCallback(const char* line) {
    collect(line);
    if (line != kStarted || g_starts.fetch_add(1) != 0) return;
    QTM_Stop();
    if (!g_restart) return;
    QTM_Start();
    QTM_Stop();
}

TEST_F(SamplerExportsTest, StopFromTheWorkerThreadNeverWaitsForItselfOrANewerWorker) {
    for (bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "stop, start, stop" : "stop");
        g_starts = 0;
        g_restart = restart;
        const int stopped = count(kStopped);
        QTM_SetLogCallback(stopFromCallback);
        ASSERT_EQ(QTM_Start(), 1);
        ASSERT_TRUE(zk::test::eventually([&] { return count(kStopped) == stopped + (restart ? 2 : 1); }));
        // A new start waits for the ended workers and runs normally.
        QTM_SetLogCallback(collect);
        ASSERT_EQ(QTM_Start(), 1);
        QTM_Stop();
        EXPECT_EQ(count(kStopped), stopped + (restart ? 3 : 2));
    }
}

// Resets and window changes from the host while the worker inserts into and removes from
// its sorted window: the sanitizer builds see any access outside the window lock.
TEST_F(SamplerExportsTest, ResetsAndWindowChangesWhileTheWorkerRuns) {
    std::vector<std::uint64_t> late(5000);
    for (std::size_t i = 0; i < late.size(); ++i) late[i] = i * 37 % 11 * 100;  // samples of 1.0 to 2.0 ms
    machine.scriptSleepOvershootUs(late);
    ASSERT_EQ(QTM_Start(), 1);
    QtmConfig c;
    QTM_GetConfig(&c);
    for (int i = 0; i < 300; ++i) {
        c.windowSize = i % 3 ? 20 : 200;
        QTM_SetConfig(&c);
        if (i % 7 == 0) QTM_ResetMetrics();
        QtmMetrics m;
        QTM_GetMetrics(&m);
        EXPECT_LE(m.p1Ms, m.p99Ms);
        std::this_thread::yield();
    }
    QTM_Stop();
}

}  // namespace
