// The sampling exports with a real worker thread over the simulated machine.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/machine_fixture.h"
#include "zelkor.h"

namespace {

std::mutex g_logMutex;
std::vector<std::string> g_log;
std::vector<std::thread::id> g_logThreads;

void ZK_CALL collect(const char* line) {
    std::lock_guard lk(g_logMutex);
    g_log.emplace_back(line);
    g_logThreads.push_back(std::this_thread::get_id());
}

std::vector<std::string> logLines() {
    std::lock_guard lk(g_logMutex);
    return g_log;
}

int count(const std::string& line) {
    int n = 0;
    for (const auto& l : logLines()) n += l == line;
    return n;
}

// Waits (bounded) for the worker to publish; the simulated clock makes ticks instant.
bool waitFor(const std::function<bool()>& cond) {
    for (int i = 0; i < 20000; ++i) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return cond();
}

class SamplerExportsTest : public zk::test::MachineTest {
protected:
    void SetUp() override {
        {
            std::lock_guard lk(g_logMutex);
            g_log.clear();
            g_logThreads.clear();
        }
        QTM_SetLogCallback(collect);
        QtmConfig c{1000, 200, 0.25, 3.0, 2.5, 0.85};
        QTM_SetConfig(&c);
        QTM_ResetMetrics();
    }
    void TearDown() override {
        QTM_Stop();
        QTM_SetLogCallback(nullptr);
        QTM_ResetMetrics();
        MachineTest::TearDown();
    }
};

TEST_F(SamplerExportsTest, LoggingEnabledLineOnTheCallersThread) {
    auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "[QTM] Logging enabled.");
    EXPECT_EQ(g_logThreads[0], std::this_thread::get_id());
    QTM_SetLogCallback(nullptr);  // silent: no line
    EXPECT_EQ(logLines().size(), 1u);
}

TEST_F(SamplerExportsTest, StartTwiceRunsOneWorkerAndStopJoins) {
    EXPECT_EQ(QTM_Start(), 1);
    EXPECT_EQ(QTM_Start(), 1);
    ASSERT_TRUE(waitFor([] { return QTM_GetStutterRisk() >= 0 && count("[QTM] Sampling started.") == 1; }));
    QtmMetrics m{};
    ASSERT_TRUE(waitFor([&] {
        QTM_GetMetrics(&m);
        return m.meanMs > 0;
    }));
    EXPECT_DOUBLE_EQ(m.meanMs, 1.0);  // 1 ms sleeps on the simulated clock
    QTM_Stop();
    // The stop line is logged before Stop returns: the worker was joined.
    EXPECT_EQ(count("[QTM] Sampling started."), 1);
    EXPECT_EQ(count("[QTM] Sampling stopped."), 1);
    auto lines = logLines();
    EXPECT_EQ(lines.back(), "[QTM] Sampling stopped.");
    QTM_Stop();  // already stopped: returns at once
    EXPECT_EQ(count("[QTM] Sampling stopped."), 1);

    // Metrics stay readable and keep their values while stopped.
    QtmMetrics after{};
    QTM_GetMetrics(&after);
    EXPECT_DOUBLE_EQ(after.meanMs, 1.0);
}

TEST_F(SamplerExportsTest, RestartAfterStop) {
    ASSERT_EQ(QTM_Start(), 1);
    QTM_Stop();
    ASSERT_EQ(QTM_Start(), 1);
    QTM_Stop();
    EXPECT_EQ(count("[QTM] Sampling started."), 2);
    EXPECT_EQ(count("[QTM] Sampling stopped."), 2);
}

TEST_F(SamplerExportsTest, FailedThreadCreationReportsZeroAndStaysStopped) {
    machine.failOp(zk::sim::Op::StartThread, zk::win::ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(QTM_Start(), 0);
    QTM_Stop();  // nothing to stop
    EXPECT_EQ(count("[QTM] Sampling started."), 0);
    EXPECT_EQ(QTM_Start(), 1);  // the flag was not left set
    ASSERT_TRUE(waitFor([] { return count("[QTM] Sampling started.") == 1; }));
}

// Stop called from the worker's own thread (its log callback) must not wait for itself.
std::atomic<int> g_stopsFromWorker{0};
void ZK_CALL stopFromCallback(const char* line) {
    collect(line);
    if (std::string(line) == "[QTM] Sampling started.") {
        QTM_Stop();
        ++g_stopsFromWorker;
    }
}

TEST_F(SamplerExportsTest, StopFromTheWorkerThreadDoesNotDeadlock) {
    QTM_SetLogCallback(stopFromCallback);
    g_stopsFromWorker = 0;
    ASSERT_EQ(QTM_Start(), 1);
    ASSERT_TRUE(waitFor([] { return count("[QTM] Sampling stopped.") == 1; }));
    EXPECT_EQ(g_stopsFromWorker.load(), 1);
    // A new start waits for the ended worker and runs normally.
    QTM_SetLogCallback(collect);
    ASSERT_EQ(QTM_Start(), 1);
    ASSERT_TRUE(waitFor([] { return count("[QTM] Sampling started.") == 2; }));
    QTM_Stop();
    EXPECT_EQ(count("[QTM] Sampling stopped."), 2);
}

// A callback that stops, restarts and stops again on the worker's thread: the second
// stop must not wait for the new worker, which itself waits for this thread to end.
std::atomic<int> g_restarts{0};
void ZK_CALL restartFromCallback(const char* line) {
    collect(line);
    if (std::string(line) == "[QTM] Sampling started." && g_restarts.fetch_add(1) == 0) {
        QTM_Stop();
        QTM_Start();
        QTM_Stop();
    }
}

TEST_F(SamplerExportsTest, StopFromAWorkerNeverWaitsForANewerWorker) {
    QTM_SetLogCallback(restartFromCallback);
    g_restarts = 0;
    ASSERT_EQ(QTM_Start(), 1);
    ASSERT_TRUE(waitFor([] { return count("[QTM] Sampling stopped.") == 2; }));
    EXPECT_EQ(count("[QTM] Sampling started."), 2);
    QTM_SetLogCallback(collect);
    ASSERT_EQ(QTM_Start(), 1);
    QTM_Stop();
    EXPECT_EQ(count("[QTM] Sampling stopped."), 3);
}

TEST_F(SamplerExportsTest, ResetAndConfigWhileRunning) {
    ASSERT_EQ(QTM_Start(), 1);
    QtmMetrics m{};
    for (int i = 0; i < 50; ++i) {
        QtmConfig c;
        QTM_GetConfig(&c);
        c.windowSize = 20 + i % 7;
        QTM_SetConfig(&c);
        QTM_ResetMetrics();
        QTM_GetMetrics(&m);
        (void)QTM_GetStutterRisk();
    }
    ASSERT_TRUE(waitFor([&] {
        QTM_GetMetrics(&m);
        return m.meanMs > 0;
    }));
    QTM_Stop();
    EXPECT_GE(m.risk, 0.0);
    EXPECT_LE(m.risk, 1.0);
}

TEST_F(SamplerExportsTest, NullRecordsAreIgnored) {
    QTM_GetConfig(nullptr);
    QTM_SetConfig(nullptr);
    QTM_GetMetrics(nullptr);
    QtmMetrics m;
    std::memset(&m, 0xAB, sizeof m);
    QTM_GetMetrics(&m);
    const QtmMetrics zero{};
    EXPECT_EQ(0, std::memcmp(&m, &zero, sizeof m));  // padding copied too
}

}  // namespace
