#pragma once
// A simulated machine with scripted memory readings and the memory module back at its
// state at load, plus a timeline of when memory was read and the standby list purged.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "memory/memory_relief.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace zk::test {

inline constexpr std::uint64_t kMiB = 1ull << 20;
inline const std::string kPrivilegeOn = "AdjustTokenPrivileges SeProfileSingleProcessPrivilege on";
inline const std::string kPurge = "NtSetSystemInformation 80 4";

class MemoryTest : public MachineTest {
protected:
    void SetUp() override {
        machine.setHook(sim::Op::GlobalMemoryStatus, [this] { mark(readingsAt_); });
        machine.setHook(sim::Op::NtSetSystemInformation, [this] { mark(purgesAt_); });
    }

    // Available-memory readings in MiB, in order; the last one repeats.
    void scriptMb(const std::vector<std::uint64_t>& mb) {
        std::vector<sim::MemoryStatus> readings;
        for (std::uint64_t m : mb) readings.push_back(reading(m * kMiB));
        machine.scriptMemoryStatus(readings);
    }
    // Five steady readings of `before` MiB, then `after` MiB from then on.
    void scriptBeforeAfter(std::uint64_t before, std::uint64_t after) {
        scriptMb({before, before, before, before, before, after});
    }
    static sim::MemoryStatus reading(std::uint64_t availBytes) { return {80, 16ull << 30, availBytes}; }

    // Simulated milliseconds at each memory reading and each purge attempt.
    std::vector<std::uint64_t> readingsAt() { return copy(readingsAt_); }
    std::vector<std::uint64_t> purgesAt() { return copy(purgesAt_); }
    // How many times the machine recorded this change.
    std::size_t changed(const std::string& change) {
        const auto all = machine.changes();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), change));
    }

    static bool isZero(const MemoryStats& s) {
        static const MemoryStats zero{};
        return std::memcmp(&s, &zero, sizeof s) == 0;
    }

private:
    void mark(std::vector<std::uint64_t>& into) {
        const std::uint64_t ms = machine.nowNs() / 1000000ull;
        std::lock_guard lk(timelineMutex_);
        into.push_back(ms);
    }
    std::vector<std::uint64_t> copy(const std::vector<std::uint64_t>& v) {
        std::lock_guard lk(timelineMutex_);
        return v;
    }

    std::mutex timelineMutex_;
    std::vector<std::uint64_t> readingsAt_, purgesAt_;
};

}  // namespace zk::test
