#include "timeline_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "timeline_effect.h"

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

// The length of the well-formed UTF-8 sequence at text[i] of a character XML allows in
// text, or 0.
std::size_t xmlCharLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80) return b >= 0x20 || b == '\t' || b == '\n' || b == '\r' ? 1 : 0;
    const std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    if (n == 0 || b > 0xF4 || i + n > text.size()) return 0;
    char32_t cp = b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool allowed = cp >= least[n] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) && cp != 0xFFFE &&
                         cp != 0xFFFF;
    return allowed ? n : 0;
}

// Text for an attribute or element: markup characters escaped, and every byte that is not
// part of a character XML allows (a name in another encoding, a control character)
// shown as U+FFFD, so that the picture stays well formed whatever the CSV held.
std::string escape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = xmlCharLength(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        switch (text[i]) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.append(text.substr(i, n));
        }
        i += n;
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
    // Head room above the p99 series for the action labels.
    const Axis p99 = niceAxis(std::max(maxP99, 1.0) * 1.4, 5);
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

    // The windows the effects are measured over, under everything else.
    for (const Row& r : timeline.rows) {
        if (!r.event || r.event->action.empty()) continue;
        for (const auto& [name, w] : {std::pair{"before", beforeWindow(r.elapsedS)}, std::pair{"after", afterWindow(r.elapsedS)}})
            s += "<rect class=\"window " + std::string(name) + "\" x=\"" + num(x(w.fromS)) + "\" y=\"" + num(kTop) +
                 "\" width=\"" + num(x(w.toS) - x(w.fromS)) + "\" height=\"" + num(kPlotH) +
                 "\" fill=\"#2e8b57\" fill-opacity=\"0.12\"/>\n";
    }

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

    // Actions, each a labelled line at its moment with the effect measured around it.
    int nth = 0;
    for (const Row& r : timeline.rows) {
        if (!r.event || r.event->action.empty()) continue;
        const Event& e = *r.event;
        const bool quarantine = e.action == "quarantine";
        const std::string colour = quarantine ? "#7d3c98" : "#2e8b57";
        const double at = x(r.elapsedS), y = kTop + 16 + 36 * (nth++ % 4);
        // Labels right of the line, or left of it in the plot's last third.
        const bool left = at > kLeft + kPlotW * 2 / 3;
        // A white halo keeps the text readable across the lines it crosses.
        const std::string place = "x=\"" + num(left ? at - 4 : at + 4) + "\" text-anchor=\"" + (left ? "end" : "start") +
                                  "\" fill=\"" + colour + "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\"";
        const Effect effect = effectAt(timeline.rows, r.elapsedS);
        s += "<g class=\"action\"><line x1=\"" + num(at) + "\" y1=\"" + num(kTop) + "\" x2=\"" + num(at) + "\" y2=\"" +
             num(bottom) + "\" stroke=\"" + colour + "\" stroke-dasharray=\"6 4\"/>";
        s += "<text " + place + " y=\"" + num(y) + "\">" +
             escape((quarantine ? e.action : e.action + " recovery") + ": " + e.offenderName + " (pid " +
                    std::to_string(e.offenderPid) + ")") +
             "</text>";
        s += "<text class=\"effect\" " + place + " y=\"" + num(y + 16) + "\" font-size=\"12\">p99 " +
             label(effect.before.p99Ms) + " \xE2\x86\x92 " + label(effect.after.p99Ms) + " ms (\xC3\x97" +
             label(ratio(effect.after.p99Ms, effect.before.p99Ms)) + "), risk " +
             label(effect.before.risk) + " \xE2\x86\x92 " + label(effect.after.risk) + "</text></g>\n";
    }

    // Legend.
    s += "<g class=\"legend\"><rect x=\"" + num(right - 580) + "\" y=\"33\" width=\"24\" height=\"14\" fill=\"#2e8b57\" "
         "fill-opacity=\"0.12\"/><text x=\"" + num(right - 550) + "\" y=\"45\">3 s before and after each action</text>";
    s += "<line x1=\"" + num(right - 300) + "\" y1=\"40\" x2=\"" + num(right - 276) +
         "\" y2=\"40\" stroke=\"#c0392b\" stroke-width=\"2\"/><text x=\"" + num(right - 270) +
         "\" y=\"45\">risk</text><line x1=\"" + num(right - 200) + "\" y1=\"40\" x2=\"" + num(right - 176) +
         "\" y2=\"40\" stroke=\"#1f5fa8\" stroke-width=\"1.5\"/><text x=\"" + num(right - 170) +
         "\" y=\"45\">p99 (ms)</text></g>\n";
    s += "</svg>\n";
    return s;
}

}  // namespace zktl
