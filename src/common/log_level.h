#pragma once
// The four levels of the modules' log channels that share them, and their line tags.

#include <string_view>

namespace zk::common {

enum LogLevel : int { kDebug = 0, kInfo = 1, kWarning = 2, kError = 3 };

// "[DEBUG] ", "[INFO] ", "[WARNING] " or "[ERROR] "; any other level is info.
constexpr std::string_view levelTag(int level) {
    switch (level) {
        case kDebug: return "[DEBUG] ";
        case kWarning: return "[WARNING] ";
        case kError: return "[ERROR] ";
        default: return "[INFO] ";
    }
}

}  // namespace zk::common
