#pragma once
// How the profiler turns one process's measurements into a weighted score and a cause.

#include <cstdint>

namespace zk::stutter {

struct PfMeasures {
    double cpuPct = 0.0;
    double ioMBps = 0.0;
    double ramMB = 0.0;
    std::uint32_t faults = 0;
};

// Categories as hosts see them in PfRootCause.category.
enum PfCategory : std::int32_t { kPfCpu = 1, kPfIo = 2, kPfRam = 3, kPfFaults = 4 };

struct PfScore {
    double score = 0.0;
    std::int32_t category = kPfCpu;
};

// CPU 40 %, I/O 30 % (full at 50 MB/s), RAM 10 % (full at 2000 MB), faults up to 40
// points; the category is the largest part, ties going to the earlier one.
PfScore scoreProcess(const PfMeasures& m);

// The score a process must reach to be a candidate: the riskier the stutter, the lower.
double candidateThreshold(double risk);

}  // namespace zk::stutter
