#include "selftest_report.h"

#include <algorithm>

namespace zkctl::selftest {

namespace {

const char* verdictWord(Outcome::Verdict v) {
    return v == Outcome::Pass ? "ok" : v == Outcome::Fail ? "FAIL" : "skipped";
}

bool showsSteps(const Row& r) { return !r.summary && r.outcome.verdict != Outcome::Skipped; }

std::string json(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(c));
            out += esc;
        } else {
            out += c;  // UTF-8 passes through
        }
    }
    return out + "\"";
}

}  // namespace

void printTableHeader(std::FILE* out) {
    std::fprintf(out, "%-22s %-8s %-9s %-8s %s\n", "module", "applied", "restored", "verdict",
                 "note / why skipped / what differs");
}

void printRow(std::FILE* out, const Row& r) {
    const Outcome& o = r.outcome;
    auto step = [&](bool b) { return showsSteps(r) ? (b ? "yes" : "no") : "-"; };
    std::string note = o.note;
    if (!o.differences.empty()) note += std::string(note.empty() ? "" : "; ") + "what differs:";
    std::fprintf(out, "%-22s %-8s %-9s %-8s %s\n", r.module.c_str(), step(o.applied), step(o.restored),
                 verdictWord(o.verdict), note.c_str());
    for (const Difference& d : o.differences)
        std::fprintf(out, "    %s: %s -> %s\n", d.name.c_str(), d.before.c_str(), d.after.c_str());
    std::fflush(out);
}

void writeJson(std::FILE* out, const std::vector<Row>& rows, bool machine) {
    const auto failed = std::count_if(rows.begin(), rows.end(), [](const Row& r) { return r.outcome.verdict == Outcome::Fail; });
    std::fprintf(out, "{\"machine\": %s, \"failed\": %d, \"rows\": [\n", machine ? "true" : "false", static_cast<int>(failed));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        const Outcome& o = r.outcome;
        auto step = [&](bool b) { return showsSteps(r) ? (b ? "true" : "false") : "null"; };
        std::string differences;
        for (const Difference& d : o.differences)
            differences += std::string(differences.empty() ? "" : ", ") + "{\"name\": " + json(d.name) +
                           ", \"before\": " + json(d.before) + ", \"after\": " + json(d.after) + "}";
        std::fprintf(out, "{\"module\": %s, \"verdict\": \"%s\", \"applied\": %s, \"restored\": %s, \"note\": %s, "
                          "\"differences\": [%s]}%s\n",
                     json(r.module).c_str(), verdictWord(o.verdict), step(o.applied), step(o.restored),
                     json(o.note).c_str(), differences.c_str(), i + 1 < rows.size() ? "," : "");
    }
    std::fprintf(out, "]}\n");
}

std::string describeRecorded(const MachineSnapshot& s) {
    const auto withIo = std::count_if(s.processes.begin(), s.processes.end(),
                                      [](const auto& p) { return p.second.ioPriority.has_value(); });
    const auto absent = std::count_if(s.services.begin(), s.services.end(), [](const auto& e) { return !e.second.present; });
    return "recorded before the rows: " + std::to_string(s.processes.size()) + " processes (I/O priority " +
           (withIo ? "readable" : "not readable here") + "), " + std::to_string(s.services.size()) + " services (" +
           std::to_string(absent) + " absent or unreadable), power: " +
           (s.power.unreadable.empty() ? "scheme " + guidText(*s.power.scheme) : s.power.unreadable);
}

}  // namespace zkctl::selftest
