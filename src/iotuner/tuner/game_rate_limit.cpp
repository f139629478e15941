#include "iotuner/tuner/game_rate_limit.h"

#include <string>

#include "iotuner/tuner/tuner_log.h"
#include "platform/platform.h"

namespace zk::iotuner {

namespace {
// Beyond this many games the entries whose interval is over are dropped; they could no
// longer refuse anything, so this only keeps the table from growing with every game pid.
constexpr std::size_t kPruneAbove = 256;
}  // namespace

bool GameRateLimit::allow(std::uint32_t gamePid) {
    {
        std::lock_guard lk(mutex_);
        const auto now = static_cast<std::int64_t>(platform::clocks().steadyNs());
        auto it = lastNs_.find(gamePid);
        if (it == lastNs_.end() || now - it->second >= kIntervalNs) {
            if (lastNs_.size() > kPruneAbove)
                std::erase_if(lastNs_, [&](const auto& e) { return now - e.second >= kIntervalNs; });
            lastNs_[gamePid] = now;
            return true;
        }
    }
    // Logged outside the lock: the host's callback runs under no lock but the log lock.
    TunerLog(kWarning, "[IOTuner] Rate limit for game pid=" + std::to_string(gamePid));
    return false;
}

void GameRateLimit::clear() {
    std::lock_guard lk(mutex_);
    lastNs_.clear();
}

}  // namespace zk::iotuner
