#pragma once
// Fake recovery actions for the simulated machine's own-export table: each records its
// calls in order and returns a result the test chooses.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "stutter/action_binding.h"

namespace zk::test {

struct ThrottleCall {
    std::uint32_t pid;
    std::int32_t enableDebugPrivilege, trim;
    bool imageNull;
    std::u16string image;
    bool lastErrorNull;
};

struct MemoryCall {
    std::uint32_t pid;
    double ramPct;
    std::intptr_t level;
};

class FakeActions {
public:
    // Results the fakes return.
    static inline std::int32_t throttleResult, affinityResult, ioResult;
    static inline double memoryResult;

    static inline std::vector<ThrottleCall> throttles;
    static inline std::vector<std::int32_t> affinities;
    static inline std::vector<std::uint32_t> ioGamePids;
    static inline std::vector<MemoryCall> memories;
    // Every call by export name, in order.
    static inline std::vector<std::string> order;

    static void reset() {
        throttleResult = affinityResult = 1;
        ioResult = 7;
        memoryResult = 512.5;
        throttles.clear();
        affinities.clear();
        ioGamePids.clear();
        memories.clear();
        order.clear();
    }

    // Registers all four exports in the machine's own-export table.
    static void install(sim::SimMachine& m) {
        m.setOwnExport("Zelkor_Throttle_OffenderW", reinterpret_cast<void*>(&throttle));
        m.setOwnExport("Zelkor_Affinity_ApplyInverseForOffenderPid", reinterpret_cast<void*>(&affinity));
        m.setOwnExport("Zelkor_IOTuner_ApplyInverseIo", reinterpret_cast<void*>(&io));
        m.setOwnExport("extreme_memory_clean", reinterpret_cast<void*>(&memory));
    }

    static std::int32_t ZK_CALL throttle(std::uint32_t pid, std::int32_t dbg, std::int32_t trim,
                                         const zk_wchar* image, std::uint32_t* lastError) {
        ThrottleCall c{pid, dbg, trim, image == nullptr, {}, lastError == nullptr};
        for (const zk_wchar* p = image; p && *p; ++p) c.image.push_back(static_cast<char16_t>(*p));
        throttles.push_back(c);
        order.emplace_back("throttle");
        return throttleResult;
    }
    static std::int32_t ZK_CALL affinity(std::int32_t pid) {
        affinities.push_back(pid);
        order.emplace_back("affinity");
        return affinityResult;
    }
    // The binding always asks for the aggressive mode: anything else is recorded as "io?".
    static std::int32_t ZK_CALL io(std::uint32_t gamePid, std::int32_t aggressive) {
        ioGamePids.push_back(gamePid);
        order.emplace_back(aggressive == 1 ? "io" : "io?");
        return ioResult;
    }
    static double ZK_CALL memory(std::uint32_t pid, double ramPct, const void* tag) {
        memories.push_back({pid, ramPct, reinterpret_cast<std::intptr_t>(tag)});
        order.emplace_back("memory");
        return memoryResult;
    }
};

// Type checks: the fakes have exactly the shapes the binding calls.
inline constexpr stutter::ThrottleOffenderFn kThrottleShape = &FakeActions::throttle;
inline constexpr stutter::InverseAffinityFn kAffinityShape = &FakeActions::affinity;
inline constexpr stutter::InverseIoFn kIoShape = &FakeActions::io;
inline constexpr stutter::MemoryCleanFn kMemoryShape = &FakeActions::memory;

}  // namespace zk::test
