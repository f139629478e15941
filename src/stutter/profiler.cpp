#include "stutter/profiler.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/process_walk.h"
#include "stutter/profiler_exclusions.h"
#include "common/reset_registry.h"

namespace zk::stutter {

namespace {

constexpr std::uint64_t kMinWalkIntervalMs = 10000;
constexpr double kBytesPerMB = 1048576.0;
constexpr std::uint32_t kOpenAccess = win::PROCESS_QUERY_INFORMATION | win::PROCESS_VM_READ;
constexpr std::size_t kExeChars = sizeof(platform::ProcessEntry::exeFile) / sizeof(char16_t);

// Clears the scan flag however the walk ends.
class ScanFlag {
public:
    explicit ScanFlag(std::atomic<bool>& flag) : flag_(flag) {}
    ~ScanFlag() { flag_.store(false); }
    ScanFlag(const ScanFlag&) = delete;
    ScanFlag& operator=(const ScanFlag&) = delete;

private:
    std::atomic<bool>& flag_;
};

void copyName(const char16_t* exe, char (&name)[64]) {
    std::size_t n = 0;
    while (n < kExeChars && exe[n] != 0) ++n;
    const std::string narrow = platform::system().wideToAnsi(std::u16string_view(exe, n));
    const std::size_t len = std::min<std::size_t>(narrow.size(), sizeof name - 1);
    std::memcpy(name, narrow.data(), len);
    name[len] = 0;
}

}  // namespace

void Profiler::init() {
    const std::uint32_t n = platform::system().logicalProcessorCount();
    // Without this store processorCount() reads the same figure on first use: the count is fixed while Windows runs.
    processors_.store(n ? static_cast<double>(n) : 1.0);
    log("[Profiler] Init.");
}

void Profiler::reset() {
    {
        std::lock_guard lk(lock_);
        history_.clear();
    }
    log("[Profiler] Reset.");
}

void Profiler::setLogCallback(PfLogCallback cb) {
    log_.store(cb);
    if (cb) cb("[Profiler] Logging enabled.");
}

void Profiler::log(const char* line) const {
    if (PfLogCallback cb = log_.load()) cb(line);
}

double Profiler::processorCount() {
    double n = processors_.load();
    if (n == 0.0) {
        const std::uint32_t c = platform::system().logicalProcessorCount();
        n = c ? static_cast<double>(c) : 1.0;
        processors_.store(n);
    }
    return n;
}

std::int32_t Profiler::getRootCause(std::uint32_t gamePid, double risk, double p99Ms, PfRootCause* out) {
    if (!out) return -1;
    std::memset(out, 0, sizeof *out);
    // NaN figures read as "no stutter": a host's garbage starts no walk and uses up no ten seconds.
    if (!(risk >= 0.55 || p99Ms >= 2.0)) return 0;

    const std::uint64_t tick = platform::clocks().tickCount64();
    const std::int64_t last = lastWalkTick_.load();
    if (last >= 0 && tick >= static_cast<std::uint64_t>(last) &&
        tick - static_cast<std::uint64_t>(last) < kMinWalkIntervalMs)
        return 0;
    // Recorded before the scan flag is tried: a walk refused below still counts.
    lastWalkTick_.store(static_cast<std::int64_t>(tick));

    if (scanning_.exchange(true)) return -3;
    log("[Profiler] Stutter detected \xE2\x86\x92 scanning\xE2\x80\xA6");

    std::lock_guard lk(lock_);
    ScanFlag flag(scanning_);  // cleared before the lock is released
    const double threshold = candidateThreshold(risk);
    bool found = false;
    PfRootCause best{};
    const auto walked = platform::forEachProcess([&](const platform::ProcessEntry& e) {
        if (e.pid == 0 || e.pid == gamePid || e.parentPid == gamePid) return;
        if (profilerExcludes(e.exeFile, kExeChars)) return;
        const platform::ProcessHandle process = platform::processes().openProcess(kOpenAccess, false, e.pid);
        if (!process) return;

        const PfMeasures m = measure(history_[e.pid], process, tick);
        const PfScore s = scoreProcess(m);
        // Keeping only the best one (the first in walk order among equal scores) gives
        // what sorting the candidates would, without a list.
        if (s.score >= threshold && (!found || s.score > best.score)) {
            found = true;
            best.pid = e.pid;
            copyName(e.exeFile, best.name);
            best.cpuPct = m.cpuPct;
            best.ioMBps = m.ioMBps;
            best.ramMB = m.ramMB;
            best.faults = m.faults;
            best.category = s.category;
            best.score = s.score;
        }
    });
    if (walked == platform::WalkResult::SnapshotFailed) return -2;
    if (!found) return 0;
    std::memcpy(out, &best, sizeof best);
    return 1;
}

PfMeasures Profiler::measure(History& h, const platform::ProcessHandle& process, std::uint64_t walkTick) {
    auto& p = platform::processes();
    const std::uint64_t wall = platform::clocks().systemTimeAsFileTime();
    platform::ProcessTimes times;
    const bool timesRead = p.getProcessTimes(process, times);
    platform::MemoryCounters memory;
    const bool memoryRead = p.getProcessMemoryInfo(process, memory);
    platform::IoCounters io;
    const bool ioRead = p.getProcessIoCounters(process, io);

    // Counters only grow within one process. One that went down means the id now names
    // another process (reused since the last walk): measure it as if seen for the first time.
    const bool reused =
        (timesRead && h.wallTime != 0 && (times.kernel < h.kernelTime || times.user < h.userTime)) ||
        (ioRead && h.ioMeasured && (io.readTransfer < h.readBytes || io.writeTransfer < h.writeBytes)) ||
        (memoryRead && h.pageFaults != 0 && memory.pageFaultCount < h.pageFaults);
    if (reused) h = History{};

    PfMeasures m;
    if (timesRead) {
        if (h.wallTime != 0 && wall > h.wallTime) {
            const double busy = static_cast<double>((times.user - h.userTime) + (times.kernel - h.kernelTime));
            const double pct = busy / static_cast<double>(wall - h.wallTime) * 100.0 / processorCount();
            m.cpuPct = std::clamp(pct, 0.0, 100.0);
        }
        h.kernelTime = times.kernel;
        h.userTime = times.user;
        h.wallTime = wall;
    }

    if (memoryRead) {
        m.ramMB = static_cast<double>(memory.workingSetSize) / kBytesPerMB;
        // An unchanged count gives 0 faults by either comparison.
        if (h.pageFaults != 0 && memory.pageFaultCount > h.pageFaults) m.faults = memory.pageFaultCount - h.pageFaults;
    }
    h.pageFaults = memoryRead ? memory.pageFaultCount : 0;

    if (ioRead) {
        if (h.ioMeasured && walkTick > h.ioTick) {
            const double bytes = static_cast<double>((io.readTransfer - h.readBytes) + (io.writeTransfer - h.writeBytes));
            m.ioMBps = bytes / kBytesPerMB / (static_cast<double>(walkTick - h.ioTick) / 1000.0);
        }
        h.ioTick = walkTick;
        h.ioMeasured = true;
        h.readBytes = io.readTransfer;
        h.writeBytes = io.writeTransfer;
    }
    return m;
}

void Profiler::resetForTests() {
    std::lock_guard lk(lock_);
    history_.clear();
    // Already false: every walk clears the flag as it leaves, even by an exception.
    scanning_.store(false);
    // Any negative tick means "no walk yet".
    lastWalkTick_.store(-1);
    processors_.store(0.0);
    log_.store(nullptr);
}

std::size_t Profiler::historySize() {
    std::lock_guard lk(lock_);
    return history_.size();
}

Profiler& profiler() {
    // Never destroyed: a host may call in while the library unloads.
    static Profiler* instance = new Profiler();
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { profiler().resetForTests(); })

}  // namespace zk::stutter
