#pragma once
// Draws a timeline as a self-contained SVG (no scripts, no external files): the stutter
// risk and the p99 wake-up interval against time, each action on an offender (a recovery,
// a quarantine) marked with its name and the effect measured around it, the windows of
// that measure shaded. Sized for a 1200 px wide page.

#include <string>

#include "timeline_reader.h"

namespace zktl {

std::string plotSvg(const Timeline& timeline);

}  // namespace zktl
