#pragma once
// The recovery log channel: level prefix, then the host's callback or the debugger output.

#include <atomic>
#include <cstdint>
#include <string_view>

#include "zelkor.h"

namespace zk::stutter {

enum class LogLevel : std::int32_t { Debug = 0, Info = 1, Warn = 2, Silent = 3 };

class RecoveryLog {
public:
    void setCallback(QtmStutterLogCallback cb) { callback_.store(cb); }
    // Limited to debug .. silent.
    void setMinLevel(std::int32_t level);
    std::int32_t minLevel() const { return minLevel_.load(); }

    void write(LogLevel level, std::string_view message) const;
    void debug(std::string_view m) const { write(LogLevel::Debug, m); }
    void info(std::string_view m) const { write(LogLevel::Info, m); }
    void warn(std::string_view m) const { write(LogLevel::Warn, m); }

    void resetForTests();

private:
    std::atomic<QtmStutterLogCallback> callback_{nullptr};
    std::atomic<std::int32_t> minLevel_{static_cast<std::int32_t>(LogLevel::Info)};
};

RecoveryLog& recoveryLog();

}  // namespace zk::stutter
