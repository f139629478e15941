#pragma once
// The sampling engine: a worker that measures its own wake-up lateness and publishes
// the stutter metrics.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "zelkor.h"

namespace zk::stutter {

QtmConfig defaultQtmConfig();

class Sampler {
public:
    Sampler();
    ~Sampler();
    Sampler(const Sampler&) = delete;
    Sampler& operator=(const Sampler&) = delete;

    int start();
    void stop();
    bool running() const { return running_.load(); }
    void getConfig(QtmConfig* out) const;
    void setConfig(QtmConfig* cfg);
    void getMetrics(QtmMetrics* out) const;
    double risk() const;
    void resetMetrics();
    void setLogCallback(QtmLogCallback cb);

    // The worker's steps, public so that tests can drive them on the simulated clock.
    // beginRun: read the counter frequency and counter, reserve the window.
    void beginRun();
    // One tick: sleep, take the sample, analyse and publish.
    void tick();
    // The tick after the sleep and measurement, with a given sample.
    void processSample(double sampleMs);
    double smoothedJitter() const { return emaState_; }
    std::size_t windowLength();
    // Stopped, default configuration, no metrics, no log callback, no smoothing state.
    void resetForTests();

private:
    void run(std::uint64_t generation);
    bool keepRunning() const;
    void waitForNoWorker();  // until no worker is running
    // Until no worker started up to that generation is left.
    void waitForWorkersUpTo(std::uint64_t generation);
    void ended(std::uint64_t generation);  // a worker of that generation is gone
    void log(const char* line) const;
    QtmConfig config() const;
    static std::uint64_t pageFaultWalk();
    static bool throttled(double ratio);

    // Configuration; the worker copies it once per tick.
    mutable std::mutex configMutex_;
    QtmConfig config_;

    // The window (oldest first), a sorted copy kept in step with it, and the page-fault
    // baseline. Start and reset clear them under this lock and move the epoch on, so that
    // a tick begun before them publishes nothing.
    std::mutex windowMutex_;
    std::vector<double> window_;
    std::vector<double> sorted_;
    std::uint64_t pfBaseline_ = 0;
    bool pfBaselineIsSystemTotal_ = false;
    std::atomic<std::uint64_t> epoch_{0};
    std::atomic<std::uint64_t> generation_{0};  // moved on by every start

    // Published metrics; held only for a copy.
    mutable std::mutex metricsMutex_;
    QtmMetrics metrics_{};

    // Worker-owned: only one worker runs at a time (see run()).
    double emaState_ = 0.0;
    std::int64_t frequency_ = 1;
    std::int64_t previousCounter_ = 0;
    std::uint64_t runGeneration_ = 0;

    // Lifecycle.
    std::atomic<bool> running_{false};
    // Workers run on the library's own threads, which hold the module while they run, and
    // are waited for through the generations they were started with.
    std::mutex lifecycleMutex_;
    std::mutex aliveMutex_;
    std::condition_variable aliveCv_;
    bool workerAlive_ = false;
    std::vector<std::uint64_t> liveGenerations_;  // started and not yet ended

    std::atomic<QtmLogCallback> log_{nullptr};
};

// The process-wide sampling engine behind the QTM_ exports.
Sampler& sampler();

}  // namespace zk::stutter
