#include "affinity/affinity_log.h"

#include <cstdio>
#include <string>

#include "affinity/affinity_module.h"
#include "platform/platform.h"

namespace zk::affinity {

void AffinityLogger::setMinLevel(int level) {
    minLevel_.store(level < kDebug ? kDebug : (level > kError ? kError : level), std::memory_order_relaxed);
}

void AffinityLogger::log(int level, std::string_view message) {
    // A line from inside the callback would wait forever on the log lock it holds: dropped.
    if (level < minLevel() || callingBack()) return;
    std::lock_guard lk(mutex_);
    const platform::LocalTime t = platform::clocks().localTime();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "[%u-%02u-%02u %02u:%02u:%02u] ", unsigned{t.year}, unsigned{t.month},
                  unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second});
    std::string line;
    line.reserve(64 + message.size());
    line.append("[ZELKOR.AFFINITY] ").append(stamp).append(common::levelTag(level)).append(message);
    line.push_back('\n');
    if (AffinityLogCallback cb = callback_.load(std::memory_order_relaxed)) {
        const common::CallbackMark::Scope inCallback(mark_);
        cb(line.c_str());
    }
    platform::system().outputDebugString(line.c_str());
    platform::system().writeStdErr(line);
}

void AffinityLog(int level, std::string_view message) { affinity().log.log(level, message); }

}  // namespace zk::affinity
