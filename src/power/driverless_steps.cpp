// The boost's side steps: the boost mode from the tier and the physical core count, the
// standby-list purge and the memory compaction request with its cooldown.

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/text_format.h"
#include "platform/platform.h"
#include "platform/privilege.h"
#include "platform/system_info.h"
#include "power/driverless.h"

namespace zk::power {

namespace {

using text::Message;

constexpr std::uint32_t kAssumedCores = 4;
constexpr std::uint64_t kCompactCooldownNs = 60ull * 1000000000ull;

}  // namespace

std::uint32_t countPhysicalCores() {
    std::uint32_t length = 0;
    if (platform::system().getLogicalProcessorInformationEx(win::RelationProcessorCore, nullptr, length) ||
        platform::lastError() != win::ERROR_INSUFFICIENT_BUFFER || length == 0)
        return 0;
    std::vector<unsigned char> buffer(length, 0);
    if (!platform::system().getLogicalProcessorInformationEx(win::RelationProcessorCore, buffer.data(), length))
        return 0;
    // SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX: Relationship and Size, then the payload.
    std::uint32_t cores = 0;
    // length is the buffer's size: the second bound only guards a length changed between the calls.
    // A record is far longer than its 8-byte head, so a bound of 9 would walk the same records.
    for (std::size_t at = 0; at + 8 <= length && at + 8 <= buffer.size();) {
        std::uint32_t head[2];
        std::memcpy(head, buffer.data() + at, sizeof head);
        if (head[0] == win::RelationProcessorCore) ++cores;
        if (head[1] == 0) break;  // a malformed record would never end the walk
        at += head[1];
    }
    return cores;
}

std::string boostTier(std::string_view tier) {
    std::string t(tier.empty() ? std::string_view("low") : tier);
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t;
}

std::uint32_t Driverless::computePerfBoostMode(std::string_view tier, bool inGame) {
    const std::string t = boostTier(tier);
    const std::uint32_t base = (t == "high" || t == "mid") ? 3 : 2;
    std::uint32_t value = inGame ? base + 1 : base;
    // The base is 2 or 3, so only the upper bound can act; the clamp states the range 1..4.
    value = value < 1 ? 1 : (value > 4 ? 4 : value);
    std::uint32_t cores = countPhysicalCores();
    if (cores == 0) {
        log.log(kWarning, "[Driverless] Failed to get physical core count, assuming safe default (4).");
        cores = kAssumedCores;
    }
    if (cores <= 2) {  // dual-core thermal guard
        value = value > 2 ? 2 : value;
        log.log(kInfo, Message() << "[Driverless] Dual-Core Thermal Guard active -> PERFBOOSTMODE capped to " << value);
        return value;
    }
    log.log(kInfo, Message() << "[Driverless] PERFBOOSTMODE calc: tier=" << t << ", in_game="
                             << (inGame ? "true" : "false") << " -> final=" << value);
    return value;
}

bool Driverless::purgeStandbyList() {
    // ntdll is in every process; only the routine can be missing.
    if (!platform::modules().hasRoutine(platform::Routine::NtSetSystemInformation)) {
        log.log(kWarning, "[Driverless] StandbyPurge: NtSetSystemInformation not found.");
        return false;
    }
    // The purge takes SeProfileSingleProcessPrivilege: asked for here, whatever other
    // modules did; a refusal shows as the purge's own failure.
    (void)platform::enablePrivilege("SeProfileSingleProcessPrivilege");
    const std::int32_t status = platform::purgeStandbyList();
    if (!win::ntSuccess(status)) {
        // A 32-bit status takes at most 8 hex digits: any size from 9 up reads the same.
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(status));
        log.log(kWarning, Message() << "[Driverless] StandbyPurge: NtSetSystemInformation failed (status=0x" << hex
                                    << "). Likely requires admin + proper privileges.");
        return false;
    }
    log.log(kInfo, "[Driverless] StandbyPurge: Standby memory list purge requested successfully.");
    return true;
}

void Driverless::requestMemoryCompact() {
    std::lock_guard lk(cooldownMutex_);
    const std::uint64_t now = platform::clocks().steadyNs();
    if (!lastCompactNs_ || now - *lastCompactNs_ >= kCompactCooldownNs) {
        lastCompactNs_ = now;
        log.log(kInfo, "[Driverless] memoryCompact executed (60s cooldown; no memory work is done here).");
        return;
    }
    log.log(kDebug, "[Driverless] GC cooldown active (<60s), skipping.");
}

}  // namespace zk::power
