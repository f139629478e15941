#pragma once
// The recovery actions live in other modules of this library. They are reached through
// the library's own exports, looked up by name once, so that a module that is missing
// (or not built yet) turns its action into a logged skip instead of breaking recovery.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "zelkor.h"

namespace zk::stutter {

// The action exports as this binding calls them.
using ThrottleOffenderFn = std::int32_t(ZK_CALL*)(std::uint32_t pid, std::int32_t enableDebugPrivilege,
                                                  std::int32_t trimWorkingSet, const zk_wchar* expectedImage,
                                                  std::uint32_t* lastError);
using InverseAffinityFn = std::int32_t(ZK_CALL*)(std::int32_t pid);
using InverseIoFn = std::int32_t(ZK_CALL*)(std::uint32_t gamePid, std::int32_t aggressive);
// The memory export's pointer-sized tag carries the relief level as an integer.
using MemoryCleanFn = double(ZK_CALL*)(std::uint32_t pid, double memoryLoadPercent, const void* tag);

class ActionBinding {
public:
    // Binds once per process; concurrent first callers wait for the first.
    void ensureBinding();

    // Native throttle of one offender; false for pid < 1, 4 or the game, or when the
    // throttle export is missing or fails.
    bool throttleOffender(std::uint32_t pid, bool trim, std::string_view name, std::uint32_t gamePid);
    std::int32_t inverseAffinityForOffender(std::uint32_t pid);
    double ramRelief(std::uint32_t gamePid, double ramPct, std::int32_t level);
    // Lowers the I/O priority of the processes around the game; the count lowered.
    std::int32_t inverseIoAroundGame(std::uint32_t gamePid);

    void resetForTests();

private:
    std::mutex bindMutex_;
    std::atomic<bool> bound_{false};
    // Written once under bindMutex_ before bound_ is published.
    ThrottleOffenderFn throttle_ = nullptr;
    InverseAffinityFn affinity_ = nullptr;
    InverseIoFn io_ = nullptr;
    MemoryCleanFn memory_ = nullptr;
};

ActionBinding& actionBinding();

}  // namespace zk::stutter
