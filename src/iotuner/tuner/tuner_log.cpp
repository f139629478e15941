#include "iotuner/tuner/tuner_log.h"

#include <cstdio>
#include <string>

#include "iotuner/tuner/io_tuner.h"
#include "platform/platform.h"

namespace zk::iotuner {

namespace {

using common::levelTag;

}  // namespace

void TunerLogger::log(int level, std::string_view text) {
    // A line from inside the callback would wait forever on the log lock it holds: dropped.
    if (level < minLevel_.load() || callingBack()) return;
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
        const common::CallbackMark::Scope inCallback(mark_);
        cb(line.c_str());
    }
}

void TunerLog(int level, std::string_view text) { tuner().log.log(level, text); }

}  // namespace zk::iotuner
