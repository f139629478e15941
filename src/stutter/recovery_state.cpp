#include "stutter/recovery_state.h"

#include <cmath>

#include "platform/platform.h"
#include "common/text_format.h"
#include "stutter/recovery_log.h"
#include "common/reset_registry.h"

namespace zk::stutter {

namespace {

constexpr std::uint64_t kFileTimeAt1970 = 116444736000000000ull;

double cooldownSeconds(std::int32_t level, std::uint64_t rssMB) {
    double s = level == 2 ? 120.0 : level == 3 ? 180.0 : 60.0;
    if (rssMB >= 200 && level >= 2) s += 45.0;
    if (rssMB >= 300) s += 90.0;
    return s;
}

}  // namespace

double wallClockSeconds() {
    const std::uint64_t ft = platform::clocks().systemTimeAsFileTime();
    return static_cast<double>(static_cast<std::int64_t>(ft - kFileTimeAt1970)) / 1e7;
}

std::uint64_t wholeMegabytes(double mb) {
    if (!(mb > 0.0)) return 0;
    if (mb >= 18446744073709551615.0) return UINT64_MAX;
    return static_cast<std::uint64_t>(mb);
}

void RecoveryState::setConfig(const QtmRecoveryConfig& cfg) {
    std::lock_guard lk(configMutex_);
    config_ = cfg;
}

QtmRecoveryConfig RecoveryState::config() const {
    std::lock_guard lk(configMutex_);
    return config_;
}

void RecoveryState::count(RecoveryCounter c) {
    counters_[static_cast<std::size_t>(c)].fetch_add(1, std::memory_order_relaxed);
}

QtmRecoveryMetrics RecoveryState::metrics() const {
    auto get = [&](RecoveryCounter c) { return counters_[static_cast<std::size_t>(c)].load(); };
    return QtmRecoveryMetrics{get(RecoveryCounter::SoftRecoveries), get(RecoveryCounter::HardRecoveries),
                              get(RecoveryCounter::SurgicalFailures), get(RecoveryCounter::SurgicalL1),
                              get(RecoveryCounter::SurgicalL2), get(RecoveryCounter::SurgicalL3)};
}

void RecoveryState::armCooldown(std::uint32_t pid, std::int32_t level, std::uint64_t rssMB) {
    const double until = wallClockSeconds() + cooldownSeconds(level, rssMB);
    std::lock_guard lk(cooldownMutex_);
    cooldownUntil_[pid] = until;
}

bool RecoveryState::inCooldown(std::uint32_t pid, double now) const {
    std::lock_guard lk(cooldownMutex_);
    auto it = cooldownUntil_.find(pid);
    return it != cooldownUntil_.end() && it->second > now;
}

bool RecoveryState::lockUnlessCooling(std::uint32_t pid, double now, double seconds) {
    std::lock_guard lk(cooldownMutex_);
    double& until = cooldownUntil_[pid];
    if (until > now) return false;
    until = now + seconds;
    return true;
}

double RecoveryState::cooldownUntil(std::uint32_t pid) const {
    std::lock_guard lk(cooldownMutex_);
    auto it = cooldownUntil_.find(pid);
    return it == cooldownUntil_.end() ? 0.0 : it->second;
}

std::uint32_t RecoveryState::processorCount() {
    std::uint32_t n = processors_.load();
    if (n == 0) {
        n = platform::system().logicalProcessorCount();
        if (n == 0) n = 1;
        processors_.store(n);
    }
    return n;
}

bool RecoveryState::fourCoreSafety() {
    const std::uint32_t n = processorCount();
    if (n > 4) return true;
    recoveryLog().info(text::Message()
                       << "[StutterQTM] 4-core safety → affinity acties uitgeschakeld (cores=" << n << ")");
    return false;
}

void RecoveryState::resetForTests() {
    setConfig(QtmRecoveryConfig{});
    for (auto& c : counters_) c.store(0);
    {
        std::lock_guard lk(cooldownMutex_);
        cooldownUntil_.clear();
    }
    processors_.store(0);
}

RecoveryState& recoveryState() {
    static RecoveryState* instance = new RecoveryState();
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { recoveryState().resetForTests(); })

}  // namespace zk::stutter
