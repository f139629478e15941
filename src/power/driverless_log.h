#pragma once
// The processor boost's log channel: "[ZELKOR.Driverless] " lines with a local time stamp
// and a level tag, to the debugger output, standard error and the host's callback.

#include <mutex>
#include <string_view>

#include "common/log_level.h"
#include "zelkor.h"

namespace zk::power {

using common::kDebug;
using common::kInfo;
using common::kWarning;
using common::kError;

class DriverlessLogger {
public:
    // Every level is written. Holds the log lock while writing and calling back, so the
    // host's callback must not call back into the processor boost.
    void log(int level, std::string_view message);
    void setCallback(DriverlessLogCallback cb);

private:
    std::mutex mutex_;  // the log lock
    DriverlessLogCallback callback_ = nullptr;
};

}  // namespace zk::power
