#pragma once
// The I/O tuner's log channel: timestamped, tagged lines to the debugger output, standard
// error and the host's callback, one whole line at a time.

#include <atomic>
#include <mutex>
#include <string_view>

#include "common/callback_mark.h"
#include "common/log_level.h"
#include "zelkor.h"

namespace zk::iotuner {

using common::LogLevel;
using common::kDebug;
using common::kInfo;
using common::kWarning;
using common::kError;

class TunerLogger {
public:
    void log(int level, std::string_view text);
    void setDebug(bool enabled) { minLevel_.store(enabled ? kDebug : kInfo); }
    void setCallback(IOTunerLogCallback cb) { callback_.store(cb); }
    // True on a thread inside the host's callback, which holds the log lock.
    bool callingBack() const { return mark_.onThisThread(); }

private:
    common::CallbackMark mark_;
    std::atomic<int> minLevel_{kInfo};
    std::atomic<IOTunerLogCallback> callback_{nullptr};
    // Held while writing and calling back, so that lines never interleave.
    std::mutex mutex_;
};

// The module's logger (the host's callback must not log through this module).
void TunerLog(int level, std::string_view text);

}  // namespace zk::iotuner
