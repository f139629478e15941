#pragma once
// What the stutter entry point hands to the recovery engine for one recovery: the
// sampled metrics with the host's load figures, and the profiler's offender.

#include <cstdint>
#include <string_view>

namespace zk::stutter {

struct StutterContext {
    std::uint32_t gamePid = 0;
    double risk = 0.0;
    double jitterEmaMs = 0.0;
    double p99Ms = 0.0;
    std::uint32_t spikes = 0;
    std::uint32_t hardPF = 0;
    std::uint8_t thermal = 0;
    double ramPct = 0.0;
    double cpuMaxPct = 0.0;
    double headroomPct = 0.0;
    double saturationPct = 0.0;
    double loadFactor = 0.0;
};

struct OffenderInfo {
    std::uint32_t pid = 0;
    char name[64] = {};
    char reason[64] = {};
    double score = 0.0;
    double rssMB = 0.0;
    std::uint32_t faults = 0;
};

// The zero-terminated texts of an offender, bounded by their fields.
std::string_view offenderName(const OffenderInfo& o);
std::string_view offenderReason(const OffenderInfo& o);

// The reason word of a profiler category: 1 cpu, 2 io, 3 ram, 4 faults, else unknown.
std::string_view reasonWord(std::int32_t category);

}  // namespace zk::stutter
