#include "power/driverless_log.h"

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace zk::power {

namespace {

using common::levelTag;

}  // namespace

void DriverlessLogger::log(int level, std::string_view message) {
    std::lock_guard lk(mutex_);
    const platform::LocalTime t = platform::clocks().localTime();
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "[%u-%02u-%02u %02u:%02u:%02u] ", unsigned{t.year}, unsigned{t.month},
                  unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second});
    std::string line = "[ZELKOR.Driverless] ";
    line.append(stamp).append(levelTag(level)).append(message);
    line.push_back('\n');
    platform::system().outputDebugString(line.c_str());
    platform::system().writeStdErr(line);
    line.pop_back();
    if (callback_) {
        const common::CallbackMark::Scope inCallback(mark_);
        callback_(line.c_str());
    }
}

void DriverlessLogger::setCallback(DriverlessLogCallback cb) { mark_.storeGuarded(mutex_, callback_, cb); }

}  // namespace zk::power
