#pragma once
// One soft demotion engine: a worker that measures the load every few seconds and pushes
// the processes that compete with the game into the background. It only ever demotes;
// nothing it does is recorded or undone.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "softdemote/core_layout.h"
#include "softdemote/load_history.h"
#include "softdemote/tiers.h"

namespace zk::softdemote {

struct CpuSample {
    std::uint64_t kernelTime = 0;  // 100 ns
    std::uint64_t userTime = 0;    // 100 ns
    std::uint64_t tickMs = 0;      // GetTickCount64
};

struct PassResult {
    bool spike = false;
    bool sustainedLoad = false;
    double systemCpu = 0.0;
    double adjustedCpu = 0.0;
    double tierIntervalSeconds = 0.0;
};

// The worker's wait after a pass in whole milliseconds; null when the pass threw.
std::uint32_t waitAfterPassMs(const PassResult* pass);

class SoftDemoteEngine {
public:
    // An empty tier is "mid". Without a layout (hasLayout false, no cores or count <= 0)
    // the default layout for the processor count applies.
    SoftDemoteEngine(std::string tier, std::uint32_t gamePid, std::uint32_t excludedPid, const std::int32_t* cores,
                     std::int32_t count, std::int32_t reservedCore, bool hasLayout);
    // Stops the worker and waits for it to be done with the engine (its running pass first).
    ~SoftDemoteEngine();
    SoftDemoteEngine(const SoftDemoteEngine&) = delete;
    SoftDemoteEngine& operator=(const SoftDemoteEngine&) = delete;

    // Starts the worker; throws std::runtime_error when the thread cannot be created.
    void start();
    // Safe from any thread; the worker finishes its pass first.
    void requestStop() noexcept { signalStop(false); }
    // Whether the calling thread is this engine's worker.
    bool onWorkerThread() const;
    // Requests the stop and leaves the engine to its worker, which frees it as it leaves:
    // for a caller that cannot wait for the worker (the worker itself, or a thread that
    // holds the log lock the worker needs for its last line).
    void handToWorker() noexcept { signalStop(true); }

    // --- the worker's steps, public so that tests drive them on the simulated clock ---
    PassResult runDemotionPass();
    // Waits ms on the steady clock, or until a stop is requested.
    void waitBeforeNextPass(std::uint32_t ms);
    // Wakes a waiting worker without a stop: it checks the clock and waits on for the rest.
    void wake();
    bool stopRequested();

    const std::string& tier() const { return tierText_; }
    const TierSettings& settings() const { return tier_; }
    const CoreLayout& layout() const { return layout_; }
    bool hasCpuSample(std::uint32_t pid);
    bool hasIoSample(std::uint32_t pid) const { return ioSamples_.count(pid) != 0; }
    bool hasName(std::uint32_t pid);

private:
    void signalStop(bool handOver) noexcept;
    void run();
    void scanProcesses();  // with the process list lock held
    bool isAntiCheatRunning();
    void handleProcess(std::uint32_t pid, const PassResult& pass, bool antiCheat);
    double sampleProcessCpu(std::uint32_t pid, const platform::ProcessHandle& process);
    void prune();

    const std::string tierText_;
    const std::uint32_t excludedPid_;
    const std::uint32_t gamePid_;
    const std::uint32_t selfPid_;  // the host's own threads must never run at idle
    const std::int32_t processors_;
    const TierSettings tier_;
    CoreLayout layout_;
    double lastSystemCpu_ = -1.0;

    LoadHistory history_;

    // Worker only.
    std::unordered_map<std::uint32_t, platform::IoCounters> ioSamples_;
    std::vector<std::uint32_t> passPids_;
    std::vector<std::uint32_t> seen_;  // this pass's pids, sorted; reused, so a pass allocates nothing
    std::string name_, scratch_;

    std::mutex cpuMutex_;  // the CPU sample lock
    std::unordered_map<std::uint32_t, CpuSample> cpuSamples_;

    std::mutex listMutex_;  // the process list lock
    std::vector<std::uint32_t> processList_;
    std::unordered_map<std::uint32_t, std::string> processNames_;
    std::uint64_t nextScanNs_ = 0;
    static constexpr double kScanIntervalSeconds = 2.0;

    std::mutex wakeMutex_;  // a stop is requested under it, so that a worker about to wait sees it
    std::condition_variable wake_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> freeOnExit_{false};  // set before the stop it comes with

    // The worker runs on a library thread, which keeps the library loaded until it has
    // left; it says here when it is done with the engine. Shared, because an engine freed
    // by its own worker is gone before the worker says so.
    struct WorkerExit {
        std::mutex mutex;
        std::condition_variable done;
        bool ended = false;
    };
    std::shared_ptr<WorkerExit> exit_;
};

}  // namespace zk::softdemote
