#include "timeline_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
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
               recovery = column("recovery");
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
        for (std::size_t i = 0; i < std::size(kSampleColumns); ++i) {
            if (!number(fields[sampleCol[i]], v[i])) {
                error = "line " + std::to_string(line) + ": " + std::string(kSampleColumns[i]) + " is not a number: '" +
                        fields[sampleCol[i]] + "'";
                return false;
            }
        }
        Row row;
        row.elapsedS = v[0];
        row.sample = Sample{v[1], v[2], v[3], v[4], v[5], v[6], static_cast<std::uint32_t>(v[7]),
                            static_cast<std::uint32_t>(v[8]), v[9] != 0};
        if (out.hasEvents && !fields[*verdict].empty()) {
            double p = 0;
            if (!number(fields[*pid], p)) {
                error = "line " + std::to_string(line) + ": offender_pid is not a number: '" + fields[*pid] + "'";
                return false;
            }
            row.event = Event{fields[*verdict], static_cast<std::uint32_t>(p), fields[*name], fields[*recovery]};
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
