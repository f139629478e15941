#include "stutter/recovery_log.h"

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "common/reset_registry.h"

namespace zk::stutter {

void RecoveryLog::setMinLevel(std::int32_t level) {
    minLevel_.store(std::clamp(level, static_cast<std::int32_t>(LogLevel::Debug),
                               static_cast<std::int32_t>(LogLevel::Silent)));
}

void RecoveryLog::write(LogLevel level, std::string_view message) const {
    if (static_cast<std::int32_t>(level) < minLevel_.load()) return;
    std::string line;
    switch (level) {
        case LogLevel::Debug: line = "[DEBUG] "; break;
        case LogLevel::Info: line = "[INFO] "; break;
        case LogLevel::Warn: line = "[WARN] "; break;
        case LogLevel::Silent: return;
    }
    line.append(message);
    if (QtmStutterLogCallback cb = callback_.load()) {
        cb(line.c_str());
        return;
    }
    auto& p = platform::system();
    p.outputDebugString(line.c_str());
    p.outputDebugString("\n");
}

void RecoveryLog::resetForTests() {
    callback_.store(nullptr);
    minLevel_.store(static_cast<std::int32_t>(LogLevel::Info));
}

RecoveryLog& recoveryLog() {
    static RecoveryLog* instance = new RecoveryLog();
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { recoveryLog().resetForTests(); })

}  // namespace zk::stutter
