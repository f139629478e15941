#pragma once
// The affinity module's log channel: "[ZELKOR.AFFINITY] [" local time "] " level tag and
// message, to the host's callback, the debugger output and standard error, in that order,
// all under the log lock so that lines never interleave.

#include <atomic>
#include <mutex>
#include <string_view>

#include "common/callback_mark.h"
#include "common/log_level.h"
#include "zelkor.h"

namespace zk::affinity {

using common::kDebug;
using common::kError;
using common::kInfo;
using common::kWarning;

class AffinityLogger {
public:
    // Lines below the minimum level are dropped. The callback runs under the log lock.
    void log(int level, std::string_view message);
    void setCallback(AffinityLogCallback cb) { callback_.store(cb, std::memory_order_relaxed); }
    // Clamped to 0..3.
    void setMinLevel(int level);
    int minLevel() const { return minLevel_.load(std::memory_order_relaxed); }
    // True on a thread inside the host's callback, which holds the log lock.
    bool callingBack() const { return mark_.onThisThread(); }

    // The log lock, for the verdict cache's lock order test (cache first, then log).
    std::mutex& lock() { return mutex_; }

private:
    common::CallbackMark mark_;
    std::mutex mutex_;
    std::atomic<AffinityLogCallback> callback_{nullptr};
    std::atomic<int> minLevel_{kDebug};
};

void AffinityLog(int level, std::string_view message);
inline void LogDebug(std::string_view m) { AffinityLog(kDebug, m); }
inline void LogInfo(std::string_view m) { AffinityLog(kInfo, m); }
inline void LogWarning(std::string_view m) { AffinityLog(kWarning, m); }
inline void LogError(std::string_view m) { AffinityLog(kError, m); }

}  // namespace zk::affinity
