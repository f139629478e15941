#pragma once
// Reads a timeline CSV back: the header names the columns; the sample columns are needed,
// the event columns are optional (a file without `action` takes its recoveries as the
// actions). The counters and the offender's pid are whole numbers in their type's range,
// thermal is 0 or 1; anything else is refused.

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
