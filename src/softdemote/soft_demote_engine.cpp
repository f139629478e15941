#include "softdemote/soft_demote_engine.h"

#include <algorithm>
#include <bit>
#include <exception>
#include <optional>

#include "common/text_format.h"
#include "softdemote/demotion.h"
#include "softdemote/name_sets.h"
#include "softdemote/softdemote_module.h"

namespace zk::softdemote {

namespace {

using platform::ProcessHandle;

constexpr std::uint32_t kOpenAccess = win::PROCESS_QUERY_LIMITED_INFORMATION | win::PROCESS_QUERY_INFORMATION |
                                      win::PROCESS_SET_INFORMATION | win::PROCESS_VM_READ;
constexpr std::uint64_t kNsPerMs = 1'000'000;
constexpr double kBytesPerMb = 1048576.0;
constexpr double kMaxWorkingSetMb = 262144.0;  // larger readings are nonsense
constexpr std::uint64_t kMaxSampleGapMs = 600'000;

CoreLayout layoutFor(const std::int32_t* cores, std::int32_t count, std::int32_t reserved, bool hasLayout,
                     std::int32_t n) {
    if (hasLayout && cores && count > 0) return hostLayout(cores, count, reserved, n);
    if (n < 4) SoftDemoteLog("Onvoldoende cores voor affinity management");
    return defaultLayout(n);
}

}  // namespace

SoftDemoteEngine::SoftDemoteEngine(std::string tier, std::uint32_t gamePid, std::uint32_t excludedPid,
                                   const std::int32_t* cores, std::int32_t count, std::int32_t reservedCore,
                                   bool hasLayout)
    : tierText_(tier.empty() ? "mid" : std::move(tier)),
      excludedPid_(excludedPid),
      gamePid_(gamePid),
      selfPid_(platform::processes().currentProcessId()),
      processors_(processorCount()),
      tier_(tierSettings(tierText_)),
      layout_(layoutFor(cores, count, reservedCore, hasLayout, processors_)),
      nextScanNs_(platform::clocks().steadyNs()) {
    (void)module().systemCpu.sample();  // the first pass's baseline
    SoftDemoteLog("Engine constructed (tier=" + tierText_ + ")");
}

bool SoftDemoteEngine::hasCpuSample(std::uint32_t pid) {
    std::lock_guard lk(cpuMutex_);
    return cpuSamples_.count(pid) != 0;
}

bool SoftDemoteEngine::hasName(std::uint32_t pid) {
    std::lock_guard lk(listMutex_);
    return processNames_.count(pid) != 0;
}

PassResult SoftDemoteEngine::runDemotionPass() {
    platform::Processes& procs = platform::processes();
    PassResult r;
    r.systemCpu = module().systemCpu.sample();
    r.adjustedCpu = r.systemCpu;
    r.tierIntervalSeconds = tier_.intervalSeconds;

    // A game confined to k of n processors loads those harder than the machine's mean says.
    if (gamePid_ != 0) {
        const ProcessHandle game = procs.openProcess(win::PROCESS_QUERY_LIMITED_INFORMATION, false, gamePid_);
        std::uint64_t mask = 0, system = 0;
        if (game && procs.getProcessAffinityMask(game, mask, system)) {
            const int k = std::popcount(mask & processorBits(processors_));
            if (k > 0 && processors_ > 0) {
                const double v = std::clamp(r.systemCpu / processors_ * k * 1.2, 0.0, 100.0);
                if (v > r.systemCpu) r.adjustedCpu = v;
            }
        }
    }

    r.spike = lastSystemCpu_ >= 0.0 && r.systemCpu - lastSystemCpu_ >= tier_.spikePoints;
    lastSystemCpu_ = r.systemCpu;
    r.sustainedLoad = history_.isSustainedLoad(r.systemCpu, r.adjustedCpu);
    const bool antiCheat = isAntiCheatRunning();
    {
        std::lock_guard lk(listMutex_);
        scanProcesses();
        passPids_.assign(processList_.begin(), processList_.end());
    }
    seen_.clear();
    for (std::uint32_t pid : passPids_) {
        seen_.push_back(pid);
        handleProcess(pid, r, antiCheat);
    }
    std::sort(seen_.begin(), seen_.end());
    prune();
    return r;
}

bool SoftDemoteEngine::isAntiCheatRunning() {
    platform::Processes& procs = platform::processes();
    const platform::SnapshotHandle snapshot = procs.createProcessSnapshot();
    if (!snapshot) return false;
    platform::ProcessEntry row;
    for (bool more = procs.processFirst(snapshot, row); more; more = procs.processNext(snapshot, row)) {
        module().names.lower(row.exeFile, scratch_);
        for (const std::string& name : antiCheatNames())
            if (scratch_.find(name) != std::string::npos) return true;
    }
    return false;
}

void SoftDemoteEngine::scanProcesses() {
    const std::uint64_t now = platform::clocks().steadyNs();
    if (now < nextScanNs_) return;
    processList_.clear();
    processNames_.clear();
    processList_.reserve(256);
    processNames_.reserve(256);
    platform::Processes& procs = platform::processes();
    if (const platform::SnapshotHandle snapshot = procs.createProcessSnapshot()) {
        platform::ProcessEntry row;
        for (bool more = procs.processFirst(snapshot, row); more; more = procs.processNext(snapshot, row)) {
            module().names.lower(row.exeFile, scratch_);
            processList_.push_back(row.pid);
            processNames_[row.pid] = scratch_;
        }
        if (processNames_.size() > 2000)
            SoftDemoteLog(text::Message() << "Waarschuwing: Zeer veel processen (" << processNames_.size() << ")");
    }
    nextScanNs_ = now + static_cast<std::uint64_t>(kScanIntervalSeconds * 1000) * kNsPerMs;
}

void SoftDemoteEngine::handleProcess(std::uint32_t pid, const PassResult& pass, bool antiCheat) {
    if (pid == gamePid_ || pid == excludedPid_ || pid == selfPid_) return;
    {
        std::lock_guard lk(listMutex_);
        const auto it = processNames_.find(pid);
        if (it == processNames_.end())
            name_.clear();
        else
            name_ = it->second;
    }
    if (!name_.empty() && protectedNames().count(name_) != 0) return;
    platform::Processes& procs = platform::processes();
    const ProcessHandle process = procs.openProcess(kOpenAccess, false, pid);
    if (!process || IsCriticalProcess(process)) return;  // skipped quietly, as the protected names
    try {
        const double cpu = sampleProcessCpu(pid, process);

        double mem = 0.0;
        platform::MemoryCounters memory;
        if (procs.getProcessMemoryInfo(process, memory)) {
            mem = static_cast<double>(memory.workingSetSize) / kBytesPerMb;
            if (mem < 0.0 || mem > kMaxWorkingSetMb) mem = 0.0;
        }

        bool ioHeavy = false;
        platform::IoCounters io;
        if (procs.getProcessIoCounters(process, io)) {
            const auto it = ioSamples_.find(pid);
            if (it != ioSamples_.end()) {
                const platform::IoCounters& was = it->second;
                // Equal counters give 0 on either side of the comparison; only a counter that went back is clamped.
                const std::uint64_t read = io.readTransfer >= was.readTransfer ? io.readTransfer - was.readTransfer : 0;
                const std::uint64_t write =
                    io.writeTransfer >= was.writeTransfer ? io.writeTransfer - was.writeTransfer : 0;
                const std::uint64_t limit = tier_.ioBytesThreshold;
                ioHeavy = read > limit || write > limit || read + write > limit;
            }
            ioSamples_[pid] = io;
        }

        const bool knownApp = !name_.empty() && backgroundAppNames().count(name_) != 0;

        // Asked once, for the exemption and the four-processor rule alike.
        bool affinityAsked = false;
        std::optional<std::uint64_t> affinity;
        auto processMask = [&]() -> const std::optional<std::uint64_t>& {
            if (!affinityAsked) {
                affinityAsked = true;
                std::uint64_t mask = 0, system = 0;
                if (procs.getProcessAffinityMask(process, mask, system)) affinity = mask;
            }
            return affinity;
        };

        // A light process allowed on the layout's processors is left where it is.
        if (!layout_.cores.empty() && processMask()) {
            for (std::int32_t c : layout_.cores) {
                if (c < 0 || c >= processors_ || !hasProcessor(*affinity, c)) continue;
                if (cpu < tier_.cpuMidPercent && !ioHeavy && mem < tier_.memoryLimitMb) return;
                break;
            }
        }

        const double memLimit = tier_.memoryLimitMb;
        bool demote;
        if (antiCheat) {
            demote = cpu > tier_.cpuHighPercent || (mem > memLimit && cpu > 4.0);
        } else if ((pass.spike || pass.sustainedLoad) && cpu > 1.5) {
            demote = ioHeavy || mem > memLimit || knownApp;
        } else if (processors_ == 4) {
            const std::int32_t reserved = layout_.reservedCore;
            // An index equal to the count is in no process mask either: the bound only guards hasProcessor.
            demote = processMask() && reserved >= 0 && reserved < processors_ && cpu > 3.0 &&
                     hasProcessor(*affinity, reserved);
        } else {
            demote = cpu > tier_.cpuMidPercent || (ioHeavy && cpu > 3.0) || mem > memLimit || knownApp;
        }
        if (demote) DemoteProcess(process, pid);
    } catch (const std::exception& e) {
        SoftDemoteLog(text::Message() << "Error processing PID " << pid << ": " << e.what());
    } catch (...) {
        SoftDemoteLog(text::Message() << "Unknown error processing PID " << pid);
    }
}

double SoftDemoteEngine::sampleProcessCpu(std::uint32_t pid, const ProcessHandle& process) {
    platform::ProcessTimes times;
    if (!platform::processes().getProcessTimes(process, times)) return 0.0;
    const CpuSample now{times.kernel, times.user, platform::clocks().tickCount64()};
    std::lock_guard lk(cpuMutex_);
    const auto [it, first] = cpuSamples_.try_emplace(pid, now);
    if (first) return 0.0;
    CpuSample& was = it->second;
    const std::uint64_t dt = now.tickMs - was.tickMs;
    if (dt == 0 || dt > kMaxSampleGapMs) {
        was = now;
        return 0.0;
    }
    if (processors_ <= 0) return 0.0;
    if (now.kernelTime < was.kernelTime || now.userTime < was.userTime) {
        was = now;
        return 0.0;
    }
    const double busy = static_cast<double>(now.kernelTime - was.kernelTime) +
                        static_cast<double>(now.userTime - was.userTime);
    was = now;
    return std::clamp(busy / 10000.0 / static_cast<double>(dt) * 100.0 / processors_, 0.0, 100.0);
}

void SoftDemoteEngine::prune() {
    auto unseen = [this](const auto& entry) { return !std::binary_search(seen_.begin(), seen_.end(), entry.first); };
    std::erase_if(ioSamples_, unseen);
    {
        std::lock_guard lk(cpuMutex_);
        std::erase_if(cpuSamples_, unseen);
    }
    std::lock_guard lk(listMutex_);
    std::erase_if(processNames_, unseen);
}

}  // namespace zk::softdemote
