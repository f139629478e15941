#pragma once
// A simulated machine for soft demotion: engines built directly so that tests drive their
// passes on the simulated clock, processes that burn a share of the machine, and the log
// lines kept without their prefix.

#include <memory>
#include <string>
#include <vector>

#include "softdemote/soft_demote_engine.h"
#include "support/kept_lines.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace zk::test {

using Lines = std::vector<std::string>;
using softdemote::SoftDemoteEngine;

inline constexpr std::uint32_t kGame = 500;

class SoftDemoteTest : public MachineTest {
protected:
    void SetUp() override {
        listen();
        machine.addProcess(kGame, 4, "game.exe");
    }

    static void listen() {
        Kept::clear();
        SetSoftDemoteLogCallback(&keep);
    }
    static Lines lines() { return Kept::all(); }

    // The machine's processor count, read once by the first engine.
    std::unique_ptr<SoftDemoteEngine> engine(const char* tier = "mid", std::uint32_t n = 8,
                                             std::uint32_t excluded = 0) {
        machine.setLogicalProcessorCount(n);
        return std::make_unique<SoftDemoteEngine>(tier, kGame, excluded, nullptr, 0, 0, false);
    }
    sim::SimProcess& add(std::uint32_t pid, const char* name, double workingSetMb = 10) {
        sim::SimProcess& p = machine.addProcess(pid, 4, name);
        p.memory.workingSetSize = static_cast<std::uint64_t>(workingSetMb * 1048576);
        return p;
    }
    // Each process burns its share (percent of the whole machine) while ms pass.
    void burn(const std::vector<std::pair<std::uint32_t, double>>& shares, std::uint64_t ms, std::uint32_t n) {
        for (auto [pid, percent] : shares)
            machine.withProcess(pid, [&](sim::SimProcess& p) {
                p.times.user += static_cast<std::uint64_t>(percent / 100 * n * ms * 10000 + 0.5);
            });
        machine.advanceMs(ms);
    }
    bool idle(std::uint32_t pid) { return machine.process(pid)->priorityClass == win::IDLE_PRIORITY_CLASS; }

private:
    using Kept = KeptLines<SoftDemoteTest>;
    static void ZK_CALL keep(const char* line) {
        const std::string l(line);
        const std::string prefix = "[ZelkorSoftDemote] ";
        Kept::add(l.rfind(prefix, 0) == 0 ? l.substr(prefix.size()) : "(no prefix) " + l);
    }
};

}  // namespace zk::test
