#pragma once
// The hardware tiers' thresholds and pass intervals.

#include <cstdint>
#include <string_view>

namespace zk::softdemote {

struct TierSettings {
    double cpuHighPercent;     // a process's share that demotes it while an anti-cheat runs
    double cpuMidPercent;      // the ordinary rule's share
    std::uint64_t ioBytesThreshold;
    double memoryLimitMb;
    double spikePoints;        // a rise of the system load between passes that is a spike
    double intervalSeconds;    // the wait after a quiet pass
    bool operator==(const TierSettings&) const = default;
};

// The tier text is compared byte for byte: "HIGH" is not "high".
TierSettings tierSettings(std::string_view tier);

}  // namespace zk::softdemote
