#include "affinity/inverse_layout.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "affinity/affinity_log.h"
#include "affinity/affinity_module.h"
#include "affinity/process_utils.h"
#include "common/text_format.h"
#include "platform/platform.h"
#include "platform/process_walk.h"

namespace zk::affinity {

namespace {

void countFailure() { affinity().metrics.failedTotal.fetch_add(1, std::memory_order_relaxed); }

// Sets mask, turning a refusal into the module's exceptions.
void setAffinityOrThrow(const platform::ProcessHandle& h, std::uint64_t mask) {
    if (platform::processes().setProcessAffinityMask(h, mask)) return;
    if (platform::lastError() == win::ERROR_ACCESS_DENIED) throw zelkor_affinity::AccessDeniedException{};
    throw std::runtime_error("SetProcessAffinityMask failed");
}

struct PassCounts {
    std::uint64_t modified = 0, skipped = 0, accessDenied = 0;
};

// Whether the pass leaves this entry alone.
bool skipEntry(const ProcessHandle& p, std::uint32_t gamePid, std::uint32_t self, const ParentMap& parents) {
    if (!isRunning(p)) return true;
    if (p.pid == gamePid || IsDescendantBounded(p.pid, gamePid, parents)) return true;
    if (p.pid == self || p.pid < 10) return true;
    const std::string name = ImageBaseName(p);
    return name.empty() || IsProtectedProcessName(name);
}

void pinEntry(const ProcessHandle& p, const CoreList& layoutCores, PassCounts& counts) {
    std::uint64_t processMask = 0, systemMask = 0;
    if (platform::processes().getProcessAffinityMask(p.handle, processMask, systemMask)) {
        if (const std::uint64_t mask = maskWithin(layoutCores, systemMask)) {
            try {
                setAffinityOrThrow(p.handle, mask);
            } catch (const zelkor_affinity::AccessDeniedException&) {
                ++counts.accessDenied, ++counts.skipped;
                countFailure();
                return;
            } catch (const std::runtime_error&) {
                ++counts.skipped;
                countFailure();
                return;
            }
        }
    }
    ++counts.modified;
    affinity().metrics.modifiedTotal.fetch_add(1, std::memory_order_relaxed);
}

bool runPass(std::uint32_t gamePid, const CoreList& pinSet) {
    const std::int32_t n = LogicalCoreCount();
    if (tooFewCores(n)) {
        LogInfo(text::Message() << "[InverseAffinity] Skipped: CPU has " << n
                                << " logical cores (no affinity changes on <=4 cores).");
        return false;
    }
    CoreList layoutCores;
    const LayoutCores found = layoutCoresFor(gamePid, pinSet, layoutCores);
    if (found == LayoutCores::Empty) countFailure();
    if (found != LayoutCores::Ok) return false;

    const std::uint32_t self = platform::processes().currentProcessId();
    const ParentMap parents = BuildParentMap();
    // Every process is opened before any is changed, and all stay open until the summary.
    std::vector<ProcessHandle> entries;
    platform::forEachProcess([&](const platform::ProcessEntry& e) {
        if (e.pid != 0) entries.push_back({e.pid, {}});
    });
    for (ProcessHandle& p : entries) p = openForAffinity(p.pid);

    PassCounts counts;
    for (const ProcessHandle& p : entries) {
        if (skipEntry(p, gamePid, self, parents))
            ++counts.skipped;
        else
            pinEntry(p, layoutCores, counts);
    }
    entries.clear();
    LogInfo(text::Message() << "[InverseAffinity] Summary \xE2\x86\x92 modified=" << counts.modified
                            << " skipped=" << counts.skipped << " accessDenied=" << counts.accessDenied);
    return true;
}

}  // namespace

std::uint64_t maskWithin(const CoreList& layoutCores, std::uint64_t systemMask) {
    return maskOf(layoutCores) & systemMask;
}

LayoutCores layoutCoresFor(std::uint32_t gamePid, const CoreList& pinSet, CoreList& out) {
    const ProcessHandle game = openForAffinity(gamePid);
    if (!isRunning(game)) return LayoutCores::GameGone;
    std::uint64_t processMask = 0, systemMask = 0;
    if (!platform::processes().getProcessAffinityMask(game.handle, processMask, systemMask) || systemMask == 0) {
        countFailure();
        return LayoutCores::MasksUnreadable;
    }
    const std::uint64_t pinned = maskOf(pinSet) & systemMask;
    out = coresOf(pinned ? pinned : systemMask);
    return out.empty() ? LayoutCores::Empty : LayoutCores::Ok;
}

bool ApplyInverseLayout(std::uint32_t gamePid, const CoreList& pinSet) {
    try {
        return runPass(gamePid, pinSet);
    } catch (const std::exception& e) {
        LogError(std::string("[InverseAffinity] Unexpected error (std::exception): ") + e.what());
    } catch (...) {
        LogError("[InverseAffinity] Unexpected error");
    }
    countFailure();
    return false;
}

}  // namespace zk::affinity
