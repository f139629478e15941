#include "timeline_effect.h"

namespace zktl {

namespace {

// Times are sums of decimal fractions: a row exactly on a window's edge must not fall
// out of it by a rounding error.
constexpr double kEdge = 1e-6;

bool inside(double t, Window w) { return t > w.fromS + kEdge && t <= w.toS + kEdge; }

}  // namespace

Window beforeWindow(double atS) { return {atS - kEffectWindowS, atS}; }

Window afterWindow(double atS) { return {atS + kEffectSettleS, atS + kEffectSettleS + kEffectWindowS}; }

Means meansOver(const std::vector<Row>& rows, Window w) {
    Means m;
    for (const Row& r : rows) {
        if (!inside(r.elapsedS, w)) continue;
        m.p99Ms += r.sample.p99Ms;
        m.risk += r.sample.risk;
        ++m.rows;
    }
    if (m.rows) m.p99Ms /= static_cast<double>(m.rows), m.risk /= static_cast<double>(m.rows);
    return m;
}

Effect effectAt(const std::vector<Row>& rows, double atS) {
    return {atS, meansOver(rows, beforeWindow(atS)), meansOver(rows, afterWindow(atS))};
}

double ratio(double after, double before) { return before > 0 ? after / before : 0; }

Stayed riskStayed(const std::vector<Row>& rows, double actionS, double nowS, double trigger) {
    if (nowS + kEdge < afterWindow(actionS).toS) return Stayed::neither;
    const Window last{nowS - kEffectWindowS, nowS};
    std::size_t high = 0, low = 0;
    for (const Row& r : rows)
        if (inside(r.elapsedS, last)) ++(r.sample.risk >= trigger ? high : low);
    return high && !low ? Stayed::high : low && !high ? Stayed::low : Stayed::neither;
}

}  // namespace zktl
