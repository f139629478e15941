#pragma once
// What an action on the offender did, read off the timeline: the mean p99 and risk over
// the 3 s before it and over the 3 s that start 0.5 s after it (the sampler's window
// needs a moment to forget the samples taken before the action).

#include <cstddef>
#include <vector>

#include "timeline_csv.h"

namespace zktl {

inline constexpr double kEffectWindowS = 3.0;
inline constexpr double kEffectSettleS = 0.5;

// A stretch of the timeline: rows with fromS < elapsed_s <= toS.
struct Window {
    double fromS, toS;
};
// (at − 3 s, at]: the row of the action itself was sampled before it acted.
Window beforeWindow(double atS);
// (at + 0.5 s, at + 3.5 s].
Window afterWindow(double atS);

struct Means {
    double p99Ms = 0, risk = 0;
    std::size_t rows = 0;  // 0: nothing in the window, the means are 0
};
Means meansOver(const std::vector<Row>& rows, Window w);

struct Effect {
    double atS = 0;
    Means before, after;
};
Effect effectAt(const std::vector<Row>& rows, double atS);
// after / before; 0 when before is 0.
double ratio(double after, double before);

// How the risk went after an action, as a host judges whether to escalate: once the
// action has had its after window (nowS at or past its end), `high` when every row of the
// last 3 s is at or above trigger, `low` when every one is below it; `neither` otherwise,
// and while there are no rows.
enum class Stayed { neither, high, low };
Stayed riskStayed(const std::vector<Row>& rows, double actionS, double nowS, double trigger);

}  // namespace zktl
