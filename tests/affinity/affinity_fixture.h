#pragma once
// A simulated 8-processor machine for the affinity module: a game with a child and a
// grandchild, background programs, protected ones and low pids; the module's lines kept
// as "[LEVEL] message". Every test ends by checking that no protected process ever had
// its affinity changed.

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "affinity/core_topology.h"
#include "affinity/process_utils.h"
#include "support/kept_lines.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace zk::test {

using Lines = std::vector<std::string>;

inline constexpr std::uint32_t kGame = 500, kChild = 510, kGrandchild = 520;
inline constexpr std::uint32_t kChrome = 600, kHog = 610, kExplorer = 100, kSvchost = 700, kLowPid = 8;

class AffinityTest : public MachineTest {
protected:
    void SetUp() override {
        machine.setLogicalProcessorCount(8);
        machine.advanceMs(60000);  // a steady clock that has left 0, as a real one has
        machine.addProcess(0, 0, "[System Process]");  // the table's idle row: never opened
        machine.addProcess(kExplorer, 4, "Explorer.EXE");
        machine.addProcess(kGame, kExplorer, "game.exe");
        machine.addProcess(kChild, kGame, "game_helper.exe");
        machine.addProcess(kGrandchild, kChild, "crash_reporter.exe");
        machine.addProcess(kChrome, kExplorer, "chrome.exe");
        machine.addProcess(kHog, 4, "hog.exe");
        machine.addProcess(kSvchost, 4, "svchost.exe");
        machine.addProcess(kLowPid, 4, "smss.exe");
        listen();
    }
    void TearDown() override {
        MachineTest::TearDown();
        for (const std::string& c : machine.changes()) {
            if (c.rfind("SetProcessAffinityMask ", 0) != 0) continue;
            const auto pid = static_cast<std::uint32_t>(std::stoul(c.substr(23)));
            const std::string name = machine.system().wideToAnsi(machine.process(pid)->exeName);
            EXPECT_FALSE(affinity::IsProtectedProcessName(name)) << c;
        }
    }

    static void listen() {
        Kept::clear();
        Raw::clear();
        SetAffinityLogCallback(&keep);
    }
    static Lines lines() { return Kept::all(); }
    static std::size_t logged(const std::string& levelAndMessage) {
        const Lines l = lines();
        return static_cast<std::size_t>(std::count(l.begin(), l.end(), levelAndMessage));
    }
    static Lines raw() { return Raw::all(); }

    std::uint64_t affinityOf(std::uint32_t pid) { return machine.process(pid)->affinity; }

    static AffinityConfig config() {
        AffinityConfig c{};
        Zelkor_Affinity_GetConfigC(&c);
        return c;
    }
    static void configure(const std::function<void(AffinityConfig&)>& change) {
        AffinityConfig c = config();
        change(c);
        Zelkor_Affinity_SetConfigC(&c);
    }

    std::vector<AffinitySecurityEventC> events(int max = 1000) {
        std::vector<AffinitySecurityEventC> out(static_cast<std::size_t>(max));
        out.resize(static_cast<std::size_t>(Zelkor_Affinity_GetSecurityEventsC(out.data(), max)));
        return out;
    }
    struct Metrics {
        std::uint64_t modified = 0, failed = 0, reapplied = 0;
        bool operator==(const Metrics&) const = default;
    };
    static Metrics metrics() {
        Metrics m;
        Zelkor_Affinity_GetMetrics(&m.modified, &m.failed, &m.reapplied);
        return m;
    }

private:
    struct RawTag;
    using Raw = KeptLines<RawTag>;    // as the module gave them
    using Kept = KeptLines<AffinityTest>;  // without prefix, stamp and newline
    static void ZK_CALL keep(const char* line) {
        // "[ZELKOR.AFFINITY] [2026-12-06 12:01:00] [INFO] message\n"
        std::string l(line);
        Raw::add(l);
        if (!l.empty() && l.back() == '\n') l.pop_back();
        const auto stamp = l.find("] ", l.find("] ") + 2);
        Kept::add(stamp == std::string::npos ? l : l.substr(stamp + 2));
    }
};

}  // namespace zk::test
