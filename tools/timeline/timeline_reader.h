#pragma once
// Reads a timeline CSV back: the header names the columns; elapsed_s, risk and p99_ms are
// needed, the event columns are optional.

#include <string>
#include <string_view>
#include <vector>

#include "timeline_csv.h"

namespace zktl {

struct Timeline {
    std::vector<Row> rows;
    bool hasEvents = false;
};

// False with a message naming the line and the column when the text is not a timeline.
bool readTimeline(std::string_view text, Timeline& out, std::string& error);

}  // namespace zktl
