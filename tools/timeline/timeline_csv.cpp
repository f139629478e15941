#include "timeline_csv.h"

#include <charconv>
#include <cmath>

namespace zktl {

std::string formatNumber(double v, int decimals) {
    if (!std::isfinite(v)) return "0";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string out(buf, r.ptr);
    if (out.find('.') != std::string::npos) {
        while (out.back() == '0') out.pop_back();
        if (out.back() == '.') out.pop_back();
    }
    return out == "-0" ? "0" : out;
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string_view verdictWord(std::int32_t category) {
    switch (category) {
        case 1: return "cpu";
        case 2: return "io";
        case 3: return "ram";
        case 4: return "page-faults";
        default: return "unknown";
    }
}

std::string_view recoveryWord(std::uint32_t recovery) {
    return recovery == 2 ? "hard" : recovery == 1 ? "soft" : "none";
}

std::string_view recoveryAction(std::uint32_t recovery) {
    return recovery == 1 || recovery == 2 ? recoveryWord(recovery) : std::string_view();
}

std::string headerLine(bool withEvents) {
    std::string out;
    for (std::string_view c : kSampleColumns) {
        if (!out.empty()) out += ',';
        out += c;
    }
    if (withEvents)
        for (std::string_view c : kEventColumns) (out += ',') += c;
    return out;
}

std::string rowLine(const Row& row, bool withEvents) {
    const Sample& s = row.sample;
    std::string out = formatNumber(row.elapsedS, 3);
    (out += ',') += formatNumber(s.risk, 4);
    for (double v : {s.meanMs, s.p1Ms, s.p99Ms, s.jitterMs, s.jitterEmaMs}) (out += ',') += formatNumber(v, 3);
    for (std::uint32_t v : {s.spikes, s.pageFaults, s.thermal ? 1u : 0u}) (out += ',') += std::to_string(v);
    if (withEvents) {
        if (row.event) {
            const Event& e = *row.event;
            (out += ',') += csvField(e.verdict);
            (out += ',') += std::to_string(e.offenderPid);
            (out += ',') += csvField(e.offenderName);
            (out += ',') += csvField(e.recovery);
            (out += ',') += csvField(e.action);
        } else {
            out += ",,,,,";
        }
    }
    return out;
}

}  // namespace zktl
