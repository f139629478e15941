#include "softdemote/tiers.h"

namespace zk::softdemote {

TierSettings tierSettings(std::string_view tier) {
    if (tier == "low") return {8.0, 4.0, 3'000'000, 1024.0, 18.0, 4.0};
    if (tier == "mid") return {12.0, 6.0, 5'000'000, 1536.0, 16.0, 7.0};
    if (tier == "high") return {14.0, 7.0, 8'000'000, 2048.0, 12.0, 10.0};
    // Any other text: mid's thresholds, the longest interval.
    return {12.0, 6.0, 5'000'000, 1536.0, 16.0, 12.0};
}

}  // namespace zk::softdemote
