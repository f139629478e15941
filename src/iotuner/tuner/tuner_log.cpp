#include "iotuner/tuner/tuner_log.h"

#include <cstdio>
#include <string>

#include "iotuner/tuner/io_tuner.h"
#include "platform/platform.h"

namespace zk::iotuner {

namespace {

using common::levelTag;

// Set while this thread is inside the host's callback: a callback that logs through the
// module again would otherwise wait forever on the log mutex it already holds.
thread_local bool t_inCallback = false;

}  // namespace

void TunerLogger::log(int level, std::string_view text) {
    if (level < minLevel_.load() || t_inCallback) return;
    std::lock_guard lk(mutex_);
    const platform::LocalTime t = platform::clocks().localTime();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{t.year}, unsigned{t.month},
                  unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second});
    std::string line;
    line.reserve(48 + text.size());
    line.append("[ZELKOR.IOTUNER.INVERSE] [").append(stamp).append("] ").append(levelTag(level)).append(text);
    line.push_back('\n');
    platform::system().outputDebugString(line.c_str());
    platform::system().writeStdErr(line);
    line.pop_back();
    if (IOTunerLogCallback cb = callback_.load()) {
        t_inCallback = true;
        cb(line.c_str());
        t_inCallback = false;
    }
}

void TunerLog(int level, std::string_view text) { tuner().log.log(level, text); }

}  // namespace zk::iotuner
