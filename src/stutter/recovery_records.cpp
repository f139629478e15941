#include "stutter/recovery_records.h"

namespace zk::stutter {

std::string_view reasonWord(std::int32_t category) {
    switch (category) {
        case 1: return "cpu";
        case 2: return "io";
        case 3: return "ram";
        case 4: return "faults";
        default: return "unknown";
    }
}

}  // namespace zk::stutter
