#pragma once
// The stutter timeline as CSV: one row per sample, numbers in the C locale whatever the
// user's locale, text fields quoted as RFC 4180 asks.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zktl {

// What the sampler published at one moment.
struct Sample {
    double risk = 0, meanMs = 0, p1Ms = 0, p99Ms = 0, jitterMs = 0, jitterEmaMs = 0;
    std::uint32_t spikes = 0, pageFaults = 0;
    bool thermal = false;
};

// A root-cause verdict and the recovery it led to, or an action the host took on its own
// (the quarantine), in the row where it happened.
struct Event {
    std::string verdict;  // "cpu", "io", "ram", "page-faults"; empty for the host's own action
    std::uint32_t offenderPid = 0;
    std::string offenderName;  // UTF-8
    std::string recovery;      // "none", "soft", "hard"; empty for the host's own action
    std::string action;        // what was done to the offender: "soft", "hard", "quarantine", or empty
};

struct Row {
    double elapsedS = 0;
    Sample sample;
    std::optional<Event> event;
};

// The numeric columns, in order; the event columns follow them when a game is watched.
inline constexpr std::string_view kSampleColumns[] = {"elapsed_s", "risk",        "mean_ms", "p1_ms",
                                                      "p99_ms",    "jitter_ms",   "jitter_ema_ms",
                                                      "spikes",    "page_faults", "thermal"};
inline constexpr std::string_view kEventColumns[] = {"verdict", "offender_pid", "offender_name", "recovery", "action"};

// v rounded to `decimals` places, trailing zeros dropped, '.' as the decimal point: times
// to the millisecond, intervals to the microsecond, the risk to 4 places.
std::string formatNumber(double v, int decimals);
// The field as CSV: quoted when it holds a comma, a quote, a CR or an LF (quotes doubled).
std::string csvField(std::string_view text);
// "cpu", "io", "ram" or "page-faults" for a profiler category; "unknown" otherwise.
std::string_view verdictWord(std::int32_t category);
std::string_view recoveryWord(std::uint32_t recovery);
// The action a recovery mode took: "soft" or "hard"; empty when nothing was done.
std::string_view recoveryAction(std::uint32_t recovery);

// Lines without their "\r\n"; withEvents adds the event columns.
std::string headerLine(bool withEvents);
std::string rowLine(const Row& row, bool withEvents);

}  // namespace zktl
