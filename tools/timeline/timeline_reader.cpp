#include "timeline_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace zktl {

namespace {

// Splits one record at the commas outside quotes; pos moves past the record's line end.
// False for a quote left open.
bool splitRecord(std::string_view text, std::size_t& pos, std::vector<std::string>& fields) {
    fields.clear();
    std::string field;
    bool quoted = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (pos + 1 < text.size() && text[pos + 1] == '"') {
                field += '"';
                ++pos;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(std::move(field));
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
            ++pos;
            break;
        } else {
            field += c;
        }
    }
    fields.push_back(std::move(field));
    return !quoted;
}

bool number(const std::string& text, double& out) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return !text.empty() && r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

// A whole number from 0 to most, digits only (no sign, no point, no exponent).
bool wholeNumber(const std::string& text, std::uint32_t most, std::uint32_t& out) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return !text.empty() && text[0] != '-' && r.ec == std::errc() && r.ptr == end && out <= most;
}

// The integer columns and their ranges; the others are decimal numbers.
std::uint32_t mostOf(std::string_view column) {
    if (column == "thermal") return 1;
    if (column == "spikes" || column == "page_faults" || column == "offender_pid") return std::numeric_limits<std::uint32_t>::max();
    return 0;
}

bool field(const std::string& text, std::string_view column, std::size_t line, double& out, std::string& error) {
    std::uint32_t whole = 0;
    const std::uint32_t most = mostOf(column);
    const bool ok = most ? wholeNumber(text, most, whole) : number(text, out);
    if (most) out = whole;
    if (ok) return true;
    error = "line " + std::to_string(line) + ": " + std::string(column) + " is not a " +
            (most ? "whole number from 0 to " + std::to_string(most) : std::string("number")) + ": '" + text + "'";
    return false;
}

}  // namespace

bool readTimeline(std::string_view text, Timeline& out, std::string& error) {
    out = Timeline{};
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        error = "the file is empty";
        return false;
    }
    std::size_t pos = 0;
    std::vector<std::string> header, fields;
    splitRecord(text, pos, header);
    auto column = [&](std::string_view name) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i] == name) return i;
        return std::nullopt;
    };
    std::size_t sampleCol[std::size(kSampleColumns)];
    for (std::size_t i = 0; i < std::size(kSampleColumns); ++i) {
        const auto c = column(kSampleColumns[i]);
        if (!c) {
            error = "line 1: missing column '" + std::string(kSampleColumns[i]) + "'";
            return false;
        }
        sampleCol[i] = *c;
    }
    const auto verdict = column("verdict"), pid = column("offender_pid"), name = column("offender_name"),
               recovery = column("recovery"), action = column("action");
    out.hasEvents = verdict && pid && name && recovery;

    for (std::size_t line = 2; pos < text.size(); ++line) {
        if (!splitRecord(text, pos, fields)) {
            error = "line " + std::to_string(line) + ": a quoted field is not closed";
            return false;
        }
        if (fields.size() == 1 && fields[0].empty()) continue;  // a blank line
        if (fields.size() != header.size()) {
            error = "line " + std::to_string(line) + ": " + std::to_string(fields.size()) + " fields, the header has " +
                    std::to_string(header.size());
            return false;
        }
        double v[std::size(kSampleColumns)];
        for (std::size_t i = 0; i < std::size(kSampleColumns); ++i)
            if (!field(fields[sampleCol[i]], kSampleColumns[i], line, v[i], error)) return false;
        Row row;
        row.elapsedS = v[0];
        row.sample = Sample{v[1], v[2], v[3], v[4], v[5], v[6], static_cast<std::uint32_t>(v[7]),
                            static_cast<std::uint32_t>(v[8]), v[9] != 0};
        // Files written before the action column had only the recoveries as actions.
        std::string done;
        if (out.hasEvents) done = action ? fields[*action] : fields[*recovery] == "none" ? "" : fields[*recovery];
        if (out.hasEvents && (!fields[*verdict].empty() || !done.empty())) {
            double p = 0;
            if (!field(fields[*pid], "offender_pid", line, p, error)) return false;
            row.event = Event{fields[*verdict], static_cast<std::uint32_t>(p), fields[*name], fields[*recovery], done};
        }
        out.rows.push_back(std::move(row));
    }
    if (out.rows.empty()) {
        error = "the file has a header but no rows";
        return false;
    }
    return true;
}

}  // namespace zktl
