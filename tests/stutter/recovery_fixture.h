#pragma once
// Fixture for the recovery tests: fresh recovery state, every recovery log line captured
// (debug included), and the fake action exports reset (a test installs them).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fake_actions.h"
#include "stutter/action_binding.h"
#include "stutter/recovery_engine.h"
#include "stutter/recovery_log.h"
#include "stutter/recovery_state.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace zk::test {

using Lines = std::vector<std::string>;

// Lines from the recovery log callback (the recovery tests log on their own thread only).
struct RecoveryLines {
    static inline Lines lines;
    static void ZK_CALL collect(const char* line) { lines.emplace_back(line); }
};

class RecoveryTest : public MachineTest {
protected:
    void SetUp() override {
        FakeActions::reset();
        clearLines();
        QTM_Stutter_SetLogCallback(&RecoveryLines::collect);
        QTM_Stutter_SetMinLogLevel(0);
    }
    void TearDown() override {
        QTM_Stutter_SetLogCallback(nullptr);
        MachineTest::TearDown();
    }
    static constexpr std::uint32_t kGame = 100;
    static constexpr std::uint32_t kHog = 500;
    // A game and a background hog on an 8-processor machine.
    void addGameAndHog() {
        machine.setLogicalProcessorCount(8);
        machine.addProcess(kGame, 1, "game.exe");
        machine.addProcess(kHog, 1, "hog.exe");
    }

    // An offender as the profiler hands it over.
    static stutter::OffenderInfo offender(std::uint32_t pid, const char* name, const char* reason, double rssMB) {
        stutter::OffenderInfo o{pid, {}, {}, 42.5, rssMB, 12};
        std::strncpy(o.name, name, sizeof o.name - 1);
        std::strncpy(o.reason, reason, sizeof o.reason - 1);
        return o;
    }
    static const Lines& lines() { return RecoveryLines::lines; }
    static void clearLines() { RecoveryLines::lines.clear(); }
    static auto count(const std::string& line) { return std::count(lines().begin(), lines().end(), line); }
    static auto countContaining(const std::string& part) {
        return std::count_if(lines().begin(), lines().end(), [&](const auto& l) { return l.find(part) != std::string::npos; });
    }
    double now() { return stutter::wallClockSeconds(); }
};

}  // namespace zk::test
