#include "timeline_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zktl {

namespace {

constexpr double kWidth = 1200, kHeight = 560;
constexpr double kLeft = 80, kRight = 90, kTop = 60, kBottom = 70;
constexpr double kPlotW = kWidth - kLeft - kRight, kPlotH = kHeight - kTop - kBottom;

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// A tick label: whole numbers bare, others with as few decimals as they need.
std::string label(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// The smallest step of 1, 2 or 5 times a power of ten that splits span into at most
// `most` parts.
double niceStep(double span, int most) {
    const double raw = span / most;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

struct Axis {
    double max, step;
    double scale(double v, double length) const { return std::clamp(v / max, 0.0, 1.0) * length; }
};

Axis niceAxis(double maxValue, int most) {
    const double top = std::max(maxValue, 1e-9);
    const double step = niceStep(top, most);
    return {std::ceil(top / step - 1e-9) * step, step};
}

}  // namespace

std::string plotSvg(const Timeline& timeline) {
    double maxT = 0, maxP99 = 0;
    for (const Row& r : timeline.rows) {
        maxT = std::max(maxT, r.elapsedS);
        maxP99 = std::max(maxP99, r.sample.p99Ms);
    }
    const Axis time = niceAxis(std::max(maxT, 1.0), 12);
    const Axis p99 = niceAxis(std::max(maxP99, 1.0), 5);
    const Axis risk{1.0, 0.25};
    auto x = [&](double t) { return kLeft + time.scale(t, kPlotW); };
    auto yRisk = [&](double v) { return kTop + kPlotH - risk.scale(v, kPlotH); };
    auto yP99 = [&](double v) { return kTop + kPlotH - p99.scale(v, kPlotH); };
    const double bottom = kTop + kPlotH, right = kLeft + kPlotW;

    std::string s;
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1200\" height=\"560\" viewBox=\"0 0 1200 560\" "
         "font-family=\"sans-serif\" font-size=\"14\">\n";
    s += "<rect width=\"1200\" height=\"560\" fill=\"white\"/>\n";
    s += "<text class=\"title\" x=\"" + num(kLeft) + "\" y=\"32\" font-size=\"18\">Stutter risk and p99 wake-up interval</text>\n";

    s += "<g class=\"grid\" stroke=\"#e0e0e0\">\n";
    for (double v = 0; v <= risk.max + 1e-9; v += risk.step)
        s += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(yRisk(v)) + "\" x2=\"" + num(right) + "\" y2=\"" + num(yRisk(v)) + "\"/>\n";
    s += "</g>\n";

    // Axes with their ticks and units.
    s += "<g class=\"axis x\"><line x1=\"" + num(kLeft) + "\" y1=\"" + num(bottom) + "\" x2=\"" + num(right) + "\" y2=\"" +
         num(bottom) + "\" stroke=\"black\"/>\n";
    for (double v = 0; v <= time.max + 1e-9; v += time.step)
        s += "<text x=\"" + num(x(v)) + "\" y=\"" + num(bottom + 20) + "\" text-anchor=\"middle\">" + label(v) + "</text>\n";
    s += "<text class=\"label\" x=\"" + num(kLeft + kPlotW / 2) + "\" y=\"" + num(kHeight - 20) +
         "\" text-anchor=\"middle\">time (s)</text></g>\n";
    s += "<g class=\"axis risk\" fill=\"#c0392b\"><line x1=\"" + num(kLeft) + "\" y1=\"" + num(kTop) + "\" x2=\"" + num(kLeft) +
         "\" y2=\"" + num(bottom) + "\" stroke=\"black\"/>\n";
    for (double v = 0; v <= risk.max + 1e-9; v += risk.step)
        s += "<text x=\"" + num(kLeft - 8) + "\" y=\"" + num(yRisk(v) + 5) + "\" text-anchor=\"end\">" + label(v) + "</text>\n";
    s += "<text class=\"label\" transform=\"translate(24 " + num(kTop + kPlotH / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">stutter risk (0 to 1)</text></g>\n";
    s += "<g class=\"axis p99\" fill=\"#1f5fa8\"><line x1=\"" + num(right) + "\" y1=\"" + num(kTop) + "\" x2=\"" + num(right) +
         "\" y2=\"" + num(bottom) + "\" stroke=\"black\"/>\n";
    for (double v = 0; v <= p99.max + 1e-9; v += p99.step)
        s += "<text x=\"" + num(right + 8) + "\" y=\"" + num(yP99(v) + 5) + "\">" + label(v) + "</text>\n";
    s += "<text class=\"label\" transform=\"translate(" + num(kWidth - 20) + " " + num(kTop + kPlotH / 2) +
         ") rotate(90)\" text-anchor=\"middle\">p99 wake-up interval (ms)</text></g>\n";

    // The two series.
    std::string riskPoints, p99Points;
    for (const Row& r : timeline.rows) {
        riskPoints += num(x(r.elapsedS)) + "," + num(yRisk(r.sample.risk)) + " ";
        p99Points += num(x(r.elapsedS)) + "," + num(yP99(r.sample.p99Ms)) + " ";
    }
    if (!riskPoints.empty()) riskPoints.pop_back(), p99Points.pop_back();
    s += "<polyline class=\"series p99\" fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"1.5\" points=\"" + p99Points + "\"/>\n";
    s += "<polyline class=\"series risk\" fill=\"none\" stroke=\"#c0392b\" stroke-width=\"2\" points=\"" + riskPoints + "\"/>\n";

    // Recoveries, each a line at its moment with the offender's name.
    for (const Row& r : timeline.rows) {
        if (!r.event || (r.event->recovery != "soft" && r.event->recovery != "hard")) continue;
        const double at = x(r.elapsedS);
        s += "<g class=\"recovery\"><line x1=\"" + num(at) + "\" y1=\"" + num(kTop) + "\" x2=\"" + num(at) + "\" y2=\"" +
             num(bottom) + "\" stroke=\"#2e8b57\" stroke-dasharray=\"6 4\"/>";
        s += "<text x=\"" + num(at + 4) + "\" y=\"" + num(kTop + 16) + "\" fill=\"#2e8b57\">" +
             escape(r.event->recovery + " recovery: " + r.event->offenderName + " (pid " +
                    std::to_string(r.event->offenderPid) + ")") +
             "</text></g>\n";
    }

    // Legend.
    s += "<g class=\"legend\"><line x1=\"" + num(right - 300) + "\" y1=\"40\" x2=\"" + num(right - 276) +
         "\" y2=\"40\" stroke=\"#c0392b\" stroke-width=\"2\"/><text x=\"" + num(right - 270) +
         "\" y=\"45\">risk</text><line x1=\"" + num(right - 200) + "\" y1=\"40\" x2=\"" + num(right - 176) +
         "\" y2=\"40\" stroke=\"#1f5fa8\" stroke-width=\"1.5\"/><text x=\"" + num(right - 170) +
         "\" y=\"45\">p99 (ms)</text></g>\n";
    s += "</svg>\n";
    return s;
}

}  // namespace zktl
