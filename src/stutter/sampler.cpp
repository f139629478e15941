#include "stutter/sampler.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "platform/platform.h"
#include "platform/process_walk.h"
#include "platform/system_info.h"
#include "common/reset_registry.h"
#include "stutter/window_stats.h"

namespace zk::stutter {

namespace {

constexpr std::size_t kMinAnalysed = 10;
// Reserving more than this up front would let a host's windowSize exhaust memory at
// start; a larger window still grows one sample per tick.
constexpr std::size_t kMaxReserve = 1u << 16;
constexpr std::uint32_t kPowerBufferBytes = 1536;  // 64 entries of six 32-bit fields
constexpr std::uint32_t kWalkAccess = win::PROCESS_QUERY_LIMITED_INFORMATION | win::PROCESS_VM_READ;

// The sampler whose worker runs on this thread, if any.
thread_local const Sampler* t_workerOf = nullptr;

// NaNs last, so that the sorted copy keeps a strict order whatever the samples are.
bool before(double a, double b) { return a < b || (!std::isnan(a) && std::isnan(b)); }

void insertSorted(std::vector<double>& sorted, double x) {
    sorted.insert(std::upper_bound(sorted.begin(), sorted.end(), x, before), x);
}

void eraseSorted(std::vector<double>& sorted, double x) {
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), x, before);
    if (it != sorted.end()) sorted.erase(it);
}

}  // namespace

QtmConfig defaultQtmConfig() { return QtmConfig{1000, 200, 0.25, 3.0, 2.5, 0.85}; }

Sampler::Sampler() : config_(defaultQtmConfig()) {}

Sampler::~Sampler() {
    stop();
    waitForNoWorker();
}

void Sampler::waitForNoWorker() {
    std::unique_lock lk(aliveMutex_);
    aliveCv_.wait(lk, [&] { return liveGenerations_.empty(); });
}

void Sampler::waitForWorkersUpTo(std::uint64_t generation) {
    std::unique_lock lk(aliveMutex_);
    aliveCv_.wait(lk, [&] {
        return std::none_of(liveGenerations_.begin(), liveGenerations_.end(),
                            [&](std::uint64_t g) { return g <= generation; });
    });
}

// --- lifecycle ------------------------------------------------------------------------

int Sampler::start() {
    std::lock_guard lk(lifecycleMutex_);
    if (running_.load()) return 1;
    std::uint64_t generation;
    {
        std::lock_guard wl(windowMutex_);
        window_.clear();
        sorted_.clear();
        pfBaseline_ = 0;
        ++epoch_;
        generation = ++generation_;
    }
    // Listed before the flag is set, so that nothing can fail between the two.
    try {
        std::lock_guard al(aliveMutex_);
        liveGenerations_.push_back(generation);
    } catch (const std::exception&) {
        return 0;  // out of memory: not running
    }
    running_.store(true);
    bool started = false;
    try {
        started = platform::modules().startModuleThread([this, generation] { run(generation); });
    } catch (const std::exception&) {
        started = false;  // out of memory for the thread or its function: not running
    }
    if (!started) {
        running_.store(false);
        ended(generation);
    }
    return started ? 1 : 0;
}

void Sampler::ended(std::uint64_t generation) {
    {
        std::lock_guard lk(aliveMutex_);
        liveGenerations_.erase(std::find(liveGenerations_.begin(), liveGenerations_.end(), generation));
    }
    aliveCv_.notify_all();
}

void Sampler::stop() {
    std::uint64_t stopped;
    {
        std::lock_guard lk(lifecycleMutex_);
        if (!running_.load()) return;
        running_.store(false);
        stopped = generation_.load();
    }
    // Waited for outside the lifecycle lock: the worker's log callback may call start or
    // stop. Called on a worker's own thread it cannot wait: not for itself, and not for a
    // newer worker, which waits for this thread to end first. Either ends after its tick.
    if (t_workerOf == this) return;
    waitForWorkersUpTo(stopped);
}

bool Sampler::keepRunning() const {
    return running_.load() && generation_.load() == runGeneration_;
}

void Sampler::run(std::uint64_t generation) {
    {
        // A worker left behind by a stop from its own thread may still be finishing its
        // tick; wait for it so that worker-owned state has one owner at a time.
        std::unique_lock lk(aliveMutex_);
        aliveCv_.wait(lk, [&] { return !workerAlive_; });
        workerAlive_ = true;
    }
    t_workerOf = this;
    runGeneration_ = generation;
    // However the worker leaves, it says so: a stop waits for exactly that.
    struct Leave {
        Sampler* s;
        std::uint64_t generation;
        ~Leave() {
            {
                std::lock_guard lk(s->aliveMutex_);
                s->workerAlive_ = false;
            }
            t_workerOf = nullptr;
            s->ended(generation);
        }
    } leave{this, generation};
    try {
        beginRun();
    } catch (const std::exception&) {
        // No room reserved for the window: it grows as samples come.
    }
    log("[QTM] Sampling started.");
    while (keepRunning()) {
        try {
            tick();
        } catch (const std::exception&) {
            // Out of memory in one tick: that sample is lost and the next tick goes on.
        }
    }
    log("[QTM] Sampling stopped.");
}

// --- configuration, metrics, log ------------------------------------------------------

QtmConfig Sampler::config() const {
    std::lock_guard lk(configMutex_);
    return config_;
}

void Sampler::getConfig(QtmConfig* out) const {
    if (out) *out = config();
}

void Sampler::setConfig(QtmConfig* cfg) {
    if (!cfg) return;
    if (cfg->sampleIntervalUs < 200) cfg->sampleIntervalUs = 200;
    if (cfg->windowSize < 20) cfg->windowSize = 20;
    std::lock_guard lk(configMutex_);
    config_ = *cfg;
}

void Sampler::getMetrics(QtmMetrics* out) const {
    if (!out) return;
    std::lock_guard lk(metricsMutex_);
    *out = metrics_;
}

double Sampler::risk() const {
    std::lock_guard lk(metricsMutex_);
    return metrics_.risk;
}

void Sampler::resetMetrics() {
    std::lock_guard wl(windowMutex_);
    std::lock_guard ml(metricsMutex_);
    metrics_ = QtmMetrics{};
    window_.clear();
    sorted_.clear();
    pfBaseline_ = 0;
    ++epoch_;
}

std::size_t Sampler::windowLength() {
    std::lock_guard lk(windowMutex_);
    return window_.size();
}

void Sampler::setLogCallback(QtmLogCallback cb) {
    log_.store(cb);
    if (cb) cb("[QTM] Logging enabled.");
}

void Sampler::log(const char* line) const {
    if (QtmLogCallback cb = log_.load()) cb(line);
}

// --- the worker's steps ---------------------------------------------------------------

void Sampler::beginRun() {
    auto& p = platform::clocks();
    frequency_ = p.queryPerformanceFrequency();
    if (frequency_ <= 0) frequency_ = 1;
    previousCounter_ = p.queryPerformanceCounter();
    // One more than the window: a tick appends before it removes.
    const auto want = std::min<std::size_t>(static_cast<std::size_t>(config().windowSize), kMaxReserve) + 1;
    std::lock_guard lk(windowMutex_);
    if (window_.capacity() < want) window_.reserve(want);
    if (sorted_.capacity() < want) sorted_.reserve(want);
}

void Sampler::tick() {
    auto& p = platform::clocks();
    const int intervalUs = config().sampleIntervalUs;
    p.sleepMs(static_cast<std::uint32_t>(std::max(intervalUs / 1000, 1)));
    const std::int64_t now = p.queryPerformanceCounter();
    const double sampleMs =
        static_cast<double>(now - previousCounter_) / static_cast<double>(frequency_) * 1000.0;
    previousCounter_ = now;
    processSample(sampleMs);
}

void Sampler::processSample(double sampleMs) {
    const QtmConfig cfg = config();
    const auto windowSize = static_cast<std::size_t>(cfg.windowSize);
    std::uint64_t epoch;
    WindowStats s;
    {
        std::lock_guard lk(windowMutex_);
        if (generation_.load() != runGeneration_) return;  // a newer start owns the window
        window_.push_back(sampleMs);
        insertSorted(sorted_, sampleMs);
        // One removal a tick keeps a full window full; a second one lets a lowered
        // windowSize be reached instead of holding the window at its old size.
        for (int i = 0; i < 2 && window_.size() > windowSize; ++i) {
            eraseSorted(sorted_, window_.front());
            window_.erase(window_.begin());
        }
        if (window_.size() < kMinAnalysed) return;
        s = analyseSorted(sorted_.data(), sorted_.size(), cfg.spikeFactor, cfg.spikeFloorMs);
        epoch = epoch_.load();
    }
    emaState_ = (1.0 - cfg.emaAlpha) * emaState_ + cfg.emaAlpha * s.jitterMs;

    // The system-wide total in one call; the walk over every process only where that
    // query is missing or fails, since its cost grows with the process count.
    std::uint32_t systemTotal = 0;
    const bool isSystemTotal = platform::systemPageFaultCount(systemTotal);
    const std::uint64_t sum = isSystemTotal ? systemTotal : pageFaultWalk();
    std::uint32_t hardPF = 0;
    {
        std::lock_guard lk(windowMutex_);
        if (epoch_.load() != epoch) return;  // reset or restarted meanwhile
        if (pfBaseline_ != 0 && pfBaselineIsSystemTotal_ == isSystemTotal) {
            if (isSystemTotal)
                hardPF = static_cast<std::uint32_t>(sum - pfBaseline_);  // the 32-bit counter wraps
            else if (sum > pfBaseline_)
                hardPF = static_cast<std::uint32_t>(sum - pfBaseline_);
        }
        pfBaseline_ = sum;
        pfBaselineIsSystemTotal_ = isSystemTotal;
    }
    const bool thermal = throttled(cfg.thermalRatio);
    const double risk = stutterRisk(s.p99Ms, emaState_, hardPF, s.spikes, thermal);

    std::lock_guard lk(metricsMutex_);
    if (epoch_.load() != epoch) return;
    metrics_.meanMs = s.meanMs;
    metrics_.jitterMs = s.jitterMs;
    metrics_.jitterEmaMs = emaState_;
    metrics_.p1Ms = s.p1Ms;
    metrics_.p99Ms = s.p99Ms;
    metrics_.spikes = s.spikes;
    metrics_.hardPF = hardPF;
    metrics_.thermal = thermal ? 1 : 0;
    metrics_.risk = risk;
}

std::uint64_t Sampler::pageFaultWalk() {
    auto& p = platform::processes();
    std::uint64_t sum = 0;
    platform::MemoryCounters counters;
    platform::forEachProcess([&](const platform::ProcessEntry& entry) {
        // GetProcessMemoryInfo needs the VM-read right besides a query right.
        const platform::ProcessHandle process = p.openProcess(kWalkAccess, false, entry.pid);
        if (process && p.getProcessMemoryInfo(process, counters)) sum += counters.pageFaultCount;
    });
    return sum;
}

bool Sampler::throttled(double ratio) {
    if (!platform::modules().hasRoutine(platform::Routine::NtPowerInformation)) return false;
    std::uint32_t buffer[kPowerBufferBytes / sizeof(std::uint32_t)] = {};
    if (platform::power().ntPowerInformation(win::ProcessorInformation, nullptr, 0, buffer, kPowerBufferBytes) != 0)
        return false;
    const std::uint32_t maxMhz = buffer[1];
    const std::uint32_t currentMhz = buffer[2];
    if (maxMhz == 0) return false;
    return static_cast<double>(currentMhz) / static_cast<double>(maxMhz) < ratio;
}

void Sampler::resetForTests() {
    stop();
    waitForNoWorker();
    QtmConfig defaults = defaultQtmConfig();
    setConfig(&defaults);
    resetMetrics();
    log_.store(nullptr);
    emaState_ = 0.0;  // worker-owned, and no worker runs now
    runGeneration_ = generation_.load();
}

Sampler& sampler() {
    // Never destroyed: a host may unload the library with the worker still running.
    static Sampler* instance = new Sampler();
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { sampler().resetForTests(); })

}  // namespace zk::stutter
