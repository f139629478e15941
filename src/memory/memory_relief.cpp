#include "memory/memory_relief.h"

#include "memory/available_memory.h"
#include "memory/trim_exclusions.h"
#include "platform/platform.h"
#include "common/reset_registry.h"

namespace zk::memory {

namespace {

constexpr double kCleanThresholdPercent = 75.0;
constexpr double kHeavyLoadPercent = 96.0;
constexpr std::uint32_t kBetweenPurgesMs = 50;
constexpr std::uint32_t kSettleMs = 75;
constexpr std::uint32_t kHeavySettleMs = 150;
constexpr std::uint32_t kTrimSettleMs = 100;

}  // namespace

double MemoryRelief::finish(std::uint64_t before) {
    const auto after = sampleAvailableMemory();
    if (!after) return kAfterFailed;
    const double freed = amountFreedMb(before, *after);
    if (freed < 0.0) return kOutOfRange;
    stats_.record(kCodeCleaned, freed);
    return freed;
}

double MemoryRelief::extremeClean(double memoryLoadPercent) {
    // A NaN load reads as light load: a host's garbage figure purges nothing system-wide.
    if (!(memoryLoadPercent >= kCleanThresholdPercent)) return 0.0;
    const bool heavy = memoryLoadPercent >= kHeavyLoadPercent;
    const auto before = sampleAvailableMemory();
    if (!before) return kBeforeFailed;
    const bool first = purge_.purge();
    bool second = true;  // below heavy load one attempt is enough, failed or not
    if (heavy) {
        platform::clocks().sleepMs(kBetweenPurgesMs);
        second = purge_.purge();
    }
    if (!first && !second) return kPurgeFailed;
    platform::clocks().sleepMs(heavy ? kHeavySettleMs : kSettleMs);
    return finish(*before);
}

double MemoryRelief::trimForProcess(std::uint32_t pid) {
    if (pid != 0 && isExcludedProcess(pid)) {
        stats_.record(kCodeExcluded, 0.0);
        return kExcluded;
    }
    const auto before = sampleAvailableMemory();
    if (!before) return kBeforeFailed;
    if (!purge_.purge()) return kPurgeFailed;
    platform::clocks().sleepMs(kTrimSettleMs);
    return finish(*before);
}

bool MemoryRelief::selfTest() {
    if (!enableProfilePrivilege()) return false;
    if (!platform::modules().hasRoutine(platform::Routine::NtSetSystemInformation)) return false;
    if (!sampleAvailableMemory()) return false;
    return purge_.purge();
}

void MemoryRelief::resetForTests() {
    purge_.resetForTests();
    stats_.reset();
}

MemoryRelief& memoryRelief() {
    static MemoryRelief* relief = new MemoryRelief;
    return *relief;
}

ZK_REGISTER_TEST_RESET([] { memoryRelief().resetForTests(); })

}  // namespace zk::memory
