#pragma once
// Draws a timeline as a self-contained SVG (no scripts, no external files): the stutter
// risk and the p99 wake-up interval against time, each recovery marked with the
// offender's name. Sized for a 1200 px wide page.

#include <string>

#include "timeline_reader.h"

namespace zktl {

std::string plotSvg(const Timeline& timeline);

}  // namespace zktl
