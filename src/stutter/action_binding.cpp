#include "stutter/action_binding.h"

#include <string>
#include <vector>

#include "platform/platform.h"
#include "stutter/recovery_log.h"
#include "common/reset_registry.h"

namespace zk::stutter {

namespace {

constexpr const char* kThrottleName = "Zelkor_Throttle_OffenderW";
constexpr const char* kAffinityName = "Zelkor_Affinity_ApplyInverseForOffenderPid";
constexpr const char* kIoName = "Zelkor_IOTuner_ApplyInverseIo";
constexpr const char* kMemoryName = "extreme_memory_clean";

template <typename Fn>
Fn lookUp(const char* name, std::vector<std::string>& warnings) {
    void* fn = platform::modules().findOwnExport(name);
    if (!fn) warnings.push_back(std::string(name) + " niet gevonden in Zelkor.dll");
    return reinterpret_cast<Fn>(fn);
}

std::string_view trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

}  // namespace

void ActionBinding::ensureBinding() {
    if (bound_.load(std::memory_order_acquire)) return;
    std::vector<std::string> warnings;
    {
        std::lock_guard lk(bindMutex_);
        if (bound_.load(std::memory_order_relaxed)) return;
        if (!platform::modules().loadOwnModule()) {
            warnings.emplace_back("Zelkor.dll kon niet geladen worden – native acties beperkt.");
        } else {
            throttle_ = lookUp<ThrottleOffenderFn>(kThrottleName, warnings);
            affinity_ = lookUp<InverseAffinityFn>(kAffinityName, warnings);
            io_ = lookUp<InverseIoFn>(kIoName, warnings);
            memory_ = lookUp<MemoryCleanFn>(kMemoryName, warnings);
        }
        bound_.store(true, std::memory_order_release);
    }
    // Logged outside the lock: a host log callback may itself start a recovery.
    for (const auto& w : warnings) recoveryLog().warn(w);
}

bool ActionBinding::throttleOffender(std::uint32_t pid, bool trim, std::string_view name, std::uint32_t gamePid) {
    if (static_cast<std::int32_t>(pid) < 1 || pid == win::kSystemPid || pid == gamePid) return false;
    ensureBinding();
    if (!throttle_) {
        recoveryLog().debug("Zelkor_Throttle_OffenderW niet beschikbaar (Zelkor.dll).");
        return false;
    }
    const std::string_view trimmed = trimBlanks(name);
    const std::u16string image = trimmed.empty() ? std::u16string() : platform::system().utf8ToWide(trimmed);
    return throttle_(pid, 1, trim ? 1 : 0, reinterpret_cast<const zk_wchar*>(image.c_str()), nullptr) != 0;
}

std::int32_t ActionBinding::inverseAffinityForOffender(std::uint32_t pid) {
    ensureBinding();
    if (!affinity_) {
        recoveryLog().debug("Affinity inverse niet beschikbaar (Zelkor.dll).");
        return 0;
    }
    return affinity_(static_cast<std::int32_t>(pid));
}

double ActionBinding::ramRelief(std::uint32_t gamePid, double ramPct, std::int32_t level) {
    ensureBinding();
    if (!memory_) {
        recoveryLog().debug("extreme_memory_clean niet beschikbaar (Zelkor.dll).");
        return 0.0;
    }
    return memory_(gamePid, ramPct, reinterpret_cast<const void*>(static_cast<std::intptr_t>(level)));
}

std::int32_t ActionBinding::inverseIoAroundGame(std::uint32_t gamePid) {
    ensureBinding();
    if (!io_) {
        recoveryLog().debug("IOTuner inverse niet beschikbaar (Zelkor.dll).");
        return 0;
    }
    return io_(gamePid, 1);
}

void ActionBinding::resetForTests() {
    std::lock_guard lk(bindMutex_);
    throttle_ = nullptr;
    affinity_ = nullptr;
    io_ = nullptr;
    memory_ = nullptr;
    bound_.store(false);
}

ActionBinding& actionBinding() {
    static ActionBinding* instance = new ActionBinding();
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { actionBinding().resetForTests(); })

}  // namespace zk::stutter
