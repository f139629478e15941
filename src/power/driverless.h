#pragma once
// The processor boost on the active power scheme: minimum and maximum processor state at
// 100 %, a boost mode from the hardware tier, core parking off, and the cleanup that puts
// the saved values back.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/power.h"
#include "power/driverless_log.h"

namespace zk::power {

// The four processor settings a boost changes, by the key their saved values carry.
enum class ProcessorSetting : std::uint8_t { MinState, MaxState, PerfBoostMode, CoreParkMin };

struct DriverlessState {
    bool active = false;
    // The values the settings had before the first boost of each scheme, by the scheme's
    // GUID text, only for the settings that could be read. A scheme is listed once its
    // originals are saved, and stays listed for the life of the library.
    std::map<std::string, std::map<std::string, std::uint32_t>> originals;
    std::uint32_t mode = 0;  // boost mode written by the active boost; 0 when none
    platform::Guid scheme;   // the scheme the last boost changed
};

class Driverless {
public:
    // tier null is "low".
    void apply(const char* tier, bool inGame);
    void cleanup();
    std::uint32_t mode();

    DriverlessLogger log;

    void resetForTests();

    // The steps of a boost, each as its own log lines say.
    bool activeSchemeGuid(platform::Guid& out, std::string* text);
    std::optional<std::uint32_t> readAcValue(const platform::Guid& scheme, ProcessorSetting s);
    bool writeAcValue(const platform::Guid& scheme, ProcessorSetting s, std::uint32_t value);
    std::uint32_t computePerfBoostMode(std::string_view tier, bool inGame);
    bool purgeStandbyList();
    void requestMemoryCompact();

private:
    void boost(std::string tier, bool inGame);  // holds the boost lock
    // Writes back the saved originals of the settings in `mask` to the boosted scheme, in
    // order; the number written. Only a cleanup warns about core parking.
    int writeBack(const std::map<std::string, std::uint32_t>& originals, unsigned mask, bool cleanup);

    std::mutex boostMutex_;  // the boost lock: all of a boost or a cleanup, its log lines too
    DriverlessState state_;
    std::mutex cooldownMutex_;  // taken inside the boost lock, the log lock inside it
    std::optional<std::uint64_t> lastCompactNs_;
};

Driverless& driverless();

// GetLogicalProcessorInformationEx's processor core records; 0 on any failure.
std::uint32_t countPhysicalCores();
// The tier as the boost uses it: lower-cased byte by byte, "low" when empty.
std::string boostTier(std::string_view tier);
// A GUID as "%08lX-%04hX-%04hX-%02X%02X-%02X%02X%02X%02X%02X%02X".
std::string schemeGuidText(const platform::Guid& g);

}  // namespace zk::power
