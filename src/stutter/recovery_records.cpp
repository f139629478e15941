#include "stutter/recovery_records.h"

#include <algorithm>

namespace zk::stutter {

namespace {

template <std::size_t N>
std::string_view boundedText(const char (&field)[N]) {
    return std::string_view(field, static_cast<std::size_t>(std::find(field, field + N, '\0') - field));
}

}  // namespace

std::string_view offenderName(const OffenderInfo& o) { return boundedText(o.name); }
std::string_view offenderReason(const OffenderInfo& o) { return boundedText(o.reason); }

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
