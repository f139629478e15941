#include "power/driverless.h"

#include <cstdio>
#include <utility>

#include "common/reset_registry.h"
#include "common/text_format.h"
#include "platform/platform.h"
#include "platform/power_guids.h"

namespace zk::power {

namespace {

using text::Message;

struct SettingInfo {
    const char* key;
    const platform::Guid* guid;
};

// In the order in which they are read, written and restored.
constexpr SettingInfo kSettings[] = {
    {"MINPROCSTATE", &win::GUID_PROCESSOR_THROTTLE_MINIMUM},
    {"MAXPROCSTATE", &win::GUID_PROCESSOR_THROTTLE_MAXIMUM},
    {"PERFBOOSTMODE", &win::GUID_PROCESSOR_PERF_BOOST_MODE},
    {"COREPARK_MIN", &win::GUID_PROCESSOR_CORE_PARKING_MIN_CORES},
};
constexpr ProcessorSetting kOrder[] = {ProcessorSetting::MinState, ProcessorSetting::MaxState,
                                       ProcessorSetting::PerfBoostMode, ProcessorSetting::CoreParkMin};

const SettingInfo& info(ProcessorSetting s) { return kSettings[static_cast<int>(s)]; }
unsigned bit(ProcessorSetting s) { return 1u << static_cast<int>(s); }
// A cleanup writes every setting back; an aborted boost only those it wrote.
constexpr unsigned kAllSettings = (1u << std::size(kOrder)) - 1;

constexpr std::uint32_t kFullState = 100;
constexpr std::uint32_t kCoreParkingOff = 100;
constexpr std::uint32_t kBatteryMaxState = 85;
constexpr std::uint32_t kCompactLoadPercent = 75;

const char* yesNo(bool v) { return v ? "true" : "false"; }

}  // namespace

std::string schemeGuidText(const platform::Guid& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08lX-%04hX-%04hX-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned long>(g.data1), static_cast<unsigned short>(g.data2),
                  static_cast<unsigned short>(g.data3), g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                  g.data4[5], g.data4[6], g.data4[7]);
    return buf;
}

// --- the steps --------------------------------------------------------------------------

bool Driverless::activeSchemeGuid(platform::Guid& out, std::string* text) {
    std::optional<platform::Guid> scheme;
    const std::uint32_t rc = platform::power().powerGetActiveScheme(scheme);
    if (rc != 0 || !scheme) {
        log.log(kError, Message() << "[Driverless] PowerGetActiveScheme failed with error: " << rc);
        return false;
    }
    out = *scheme;
    if (text) *text = schemeGuidText(out);
    return true;
}

std::optional<std::uint32_t> Driverless::readAcValue(const platform::Guid& scheme, ProcessorSetting s) {
    std::uint32_t value = 0;
    const std::uint32_t rc = platform::power().powerReadAcValueIndex(&scheme, &win::GUID_PROCESSOR_SETTINGS_SUBGROUP,
                                                                     info(s).guid, value);
    if (rc != 0) {
        log.log(kDebug, Message() << "[Driverless] PowerReadACValueIndex FAILED (err=" << rc << ")");
        return std::nullopt;
    }
    return value;
}

bool Driverless::writeAcValue(const platform::Guid& scheme, ProcessorSetting s, std::uint32_t value) {
    const std::uint32_t rc = platform::power().powerWriteAcValueIndex(
        &scheme, &win::GUID_PROCESSOR_SETTINGS_SUBGROUP, info(s).guid, value);
    if (rc != 0) {
        log.log(kError, Message() << "[Driverless] PowerWriteACValueIndex FAILED (err=" << rc << ", value=" << value
                                  << ")");
        return false;
    }
    return true;
}

// --- the boost --------------------------------------------------------------------------

void Driverless::apply(const char* tier, bool inGame) { boost(tier ? tier : "low", inGame); }

void Driverless::boost(std::string tierText, bool inGame) {
    std::lock_guard lk(boostMutex_);
    if (state_.active) {
        log.log(kDebug, "[Driverless] Boost already active, skipping.");
        return;
    }
    platform::Guid scheme;
    std::string text;
    if (!activeSchemeGuid(scheme, &text)) {
        log.log(kError, "[Driverless] Cannot read active power scheme GUID. Aborting boost.");
        return;
    }
    state_.scheme = scheme;
    log.log(kInfo, Message() << "[Driverless] Active scheme GUID: " << text);

    const std::string tier = boostTier(tierText);
    log.log(kInfo, Message() << "[Driverless] Starting boost (tier=" << tier << ", in_game=" << yesNo(inGame)
                             << ", scheme=" << text << ")");

    // Originals are kept per scheme: a cleanup must put back this scheme's own values,
    // whichever scheme an earlier boost saved.
    if (!state_.originals.count(text)) {
        std::map<std::string, std::uint32_t> read;
        for (ProcessorSetting s : kOrder)
            if (auto v = readAcValue(scheme, s)) read[info(s).key] = *v;
        if (read.empty()) {
            log.log(kError,
                    "[Driverless] CRITICAL: Failed to read ANY original processor values. Aborting boost to prevent "
                    "unsafe or non-revertible changes.");
            return;
        }
        if (read.size() < 4)
            log.log(kWarning, Message() << "[Driverless] WARNING: Only " << read.size()
                                        << "/4 original values could be read. Restore may be incomplete "
                                           "(COREPARK_MIN may be unsupported on some systems).");
        Message saved;
        saved << "[Driverless] Saved original values: {";
        const char* sep = "";
        for (const auto& [key, value] : read) {
            saved << sep << key << "=" << value;
            sep = ", ";
        }
        saved << "}";
        log.log(kInfo, saved);
        state_.originals[text] = std::move(read);
    }
    const auto& originals = state_.originals[text];

    // An aborted boost puts back what it wrote (where the original is known): its values
    // would otherwise take effect at the scheme's next activation, and no cleanup would
    // ever undo them.
    unsigned written = 0;
    auto write = [&](ProcessorSetting s, std::uint32_t value) {
        if (!writeAcValue(scheme, s, value)) return false;
        written |= bit(s);
        return true;
    };
    auto abort = [&](std::string_view line) {
        log.log(kError, line);
        writeBack(originals, written, false);
    };

    if (!write(ProcessorSetting::MinState, kFullState))
        return abort("[Driverless] Failed set MINPROCSTATE. Aborting boost.");
    if (!write(ProcessorSetting::MaxState, kFullState))
        return abort("[Driverless] Failed set MAXPROCSTATE. Aborting boost.");
    const std::uint32_t m = computePerfBoostMode(tier, inGame);
    if (!write(ProcessorSetting::PerfBoostMode, m))
        return abort("[Driverless] Failed set PERFBOOSTMODE. Aborting boost.");
    log.log(kInfo, Message() << "[Driverless] PERFBOOSTMODE set -> " << m);
    if (write(ProcessorSetting::CoreParkMin, kCoreParkingOff))
        log.log(kInfo, "[Driverless] COREPARK_MIN set -> 100 (core parking disabled)");
    else
        log.log(kWarning,
                "[Driverless] Failed to set COREPARK_MIN (core parking). System may not expose this setting, "
                "continuing boost without hard fail.");

    platform::MemoryStatus memory;
    if (platform::system().globalMemoryStatus(memory) && memory.memoryLoad >= kCompactLoadPercent) {
        requestMemoryCompact();
        log.log(kInfo, Message() << "[Driverless] RAM > " << kCompactLoadPercent << "% -> memoryCompact requested");
    }

    if (purgeStandbyList())
        log.log(kInfo, "[Driverless] Prelaunch Standby List purge completed (Driverless Boost).");
    else
        log.log(kDebug, "[Driverless] Standby List purge skipped or failed (non-fatal).");

    platform::SystemPowerStatus power;
    if (platform::power().getSystemPowerStatus(power)) {
        if (power.acLineStatus == 0) {
            // Deliberately the AC value, although DC values apply on battery: the battery
            // limit is written where the boost wrote its 100 %, so that it takes effect
            // once the laptop is plugged in while the boost is still active.
            log.log(kInfo, Message() << "[Driverless] Laptop on BATTERY -> Limiting MAXPROCSTATE ("
                                     << kBatteryMaxState << "%)");
            write(ProcessorSetting::MaxState, kBatteryMaxState);
        } else {
            log.log(kInfo, "[Driverless] Laptop on AC -> Full boost allowed");
        }
    }

    const std::uint32_t rc = platform::power().powerSetActiveScheme(&scheme);
    if (rc != 0)
        return abort(Message() << "[Driverless] PowerSetActiveScheme FAILED after applying settings (err=" << rc
                               << "). Aborting boost.");
    state_.active = true;
    state_.mode = m;
    log.log(kInfo, "[Driverless] BOOST ACTIVE.");
}

int Driverless::writeBack(const std::map<std::string, std::uint32_t>& originals, unsigned mask, bool cleanup) {
    int restored = 0;
    for (ProcessorSetting s : kOrder) {
        auto original = originals.find(info(s).key);
        if (!(mask & bit(s)) || original == originals.end()) continue;
        if (writeAcValue(state_.scheme, s, original->second))
            ++restored;
        else if (cleanup && s == ProcessorSetting::CoreParkMin)
            log.log(kWarning,
                    "[Driverless] Cleanup: Failed to restore COREPARK_MIN. Setting may be unsupported or locked on "
                    "this system.");
    }
    return restored;
}

void Driverless::cleanup() {
    std::lock_guard lk(boostMutex_);
    if (!state_.active) return;
    const std::string text = schemeGuidText(state_.scheme);
    log.log(kInfo, Message() << "[Driverless] Cleanup requested - restoring saved processor values for scheme "
                             << text << ".");
    const int restored = writeBack(state_.originals[text], kAllSettings, true);
    const std::uint32_t rc = platform::power().powerSetActiveScheme(&state_.scheme);
    if (rc != 0) log.log(kError, Message() << "[Driverless] Cleanup: PowerSetActiveScheme FAILED (err=" << rc << ")");
    state_.active = false;
    state_.mode = 0;
    log.log(kInfo, Message() << "[Driverless] Cleanup done. Restored settings count=" << restored);
}

std::uint32_t Driverless::mode() {
    // Asked from the boost's own callback, on the thread that holds the boost lock.
    if (log.callingBack()) return state_.mode;
    std::lock_guard lk(boostMutex_);
    return state_.mode;
}

void Driverless::resetForTests() {
    {
        std::lock_guard lk(boostMutex_);
        state_ = DriverlessState{};
    }
    {
        std::lock_guard lk(cooldownMutex_);
        lastCompactNs_.reset();
    }
    log.setCallback(nullptr);
}

Driverless& driverless() {
    static Driverless* instance = new Driverless;
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { driverless().resetForTests(); })

}  // namespace zk::power
