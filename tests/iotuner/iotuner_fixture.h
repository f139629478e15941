#pragma once
// Fixture for the I/O tuner over the simulated machine: a fresh module state, the log
// captured through the host callback, and at the end two checks on every test: no
// handle leaked, and no protected process was opened with a right to change it.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "iotuner/tuner/io_tuner.h"
#include "iotuner/tuner/process_names.h"
#include "support/kept_lines.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace zk::test {

class IoTunerTest : public MachineTest {
protected:
    void SetUp() override {
        Kept::clear();
        SetIOTunerDebug(0);
        SetIOTunerLogCallback(&collect);
    }
    void TearDown() override {
        SetIOTunerLogCallback(nullptr);
        for (const auto& o : machine.opens()) {
            if (!(o.access & kChangeRights)) continue;
            EXPECT_FALSE(protectedPids_.count(o.pid)) << "protected pid " << o.pid << " opened for writing";
            if (sim::SimProcess* p = machine.process(o.pid)) {
                const std::string name = iotuner::NormalizeProcessName(machine.system().wideToAnsi(p->exeName));
                EXPECT_FALSE(iotuner::TunerSystemCritical().count(name) || iotuner::TunerWhitelist().count(name) ||
                             iotuner::IsAntiCheatName(name))
                    << name << " opened for writing";
            }
        }
        MachineTest::TearDown();
    }

    // A process the test expects the tuner to leave alone whatever its name.
    sim::SimProcess& addProtected(std::uint32_t pid, std::uint32_t parent, std::string_view exe) {
        protectedPids_.insert(pid);
        return machine.addProcess(pid, parent, exe);
    }
    void markProtected(std::uint32_t pid) { protectedPids_.insert(pid); }

    static std::vector<std::string> logged() { return Kept::all(); }
    // The captured lines without the "[ZELKOR.IOTUNER.INVERSE] [date time] " stamp.
    static std::vector<std::string> messages() {
        std::vector<std::string> out;
        for (const auto& l : logged()) {
            const auto at = l.find("] ", l.find("] [") + 3);
            out.push_back(at == std::string::npos ? l : l.substr(at + 2));
        }
        return out;
    }
    static bool hasMessage(const std::string& m) {
        const auto l = messages();
        return std::find(l.begin(), l.end(), m) != l.end();
    }
    static void clearLog() { Kept::clear(); }

private:
    static constexpr std::uint32_t kChangeRights =
        ~(win::PROCESS_QUERY_INFORMATION | win::PROCESS_QUERY_LIMITED_INFORMATION | win::PROCESS_VM_READ |
          win::SYNCHRONIZE);

    using Kept = KeptLines<IoTunerTest>;
    static void ZK_CALL collect(const char* line) { Kept::add(line); }

    std::set<std::uint32_t> protectedPids_;
};

}  // namespace zk::test
