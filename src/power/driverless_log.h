#pragma once
// The processor boost's log channel: "[ZELKOR.Driverless] " lines with a local time stamp
// and a level tag, to the debugger output, standard error and the host's callback.

#include <mutex>
#include <string_view>

#include "common/callback_mark.h"
#include "common/log_level.h"
#include "zelkor.h"

namespace zk::power {

using common::kDebug;
using common::kInfo;
using common::kWarning;
using common::kError;

class DriverlessLogger {
public:
    // Every level is written. Holds the log lock while writing and calling back; the boost
    // lock is held too, since all of a boost or a cleanup logs under it.
    void log(int level, std::string_view message);
    // From the callback itself the log lock is the calling thread's already: stored at once.
    void setCallback(DriverlessLogCallback cb);
    // True on a thread inside the host's callback, which holds the boost and log locks.
    bool callingBack() const { return mark_.onThisThread(); }

private:
    common::CallbackMark mark_;
    std::mutex mutex_;  // the log lock
    DriverlessLogCallback callback_ = nullptr;
};

}  // namespace zk::power
