// The processor boost: the boost mode from tier, game and cores; the originals per scheme;
// the side steps; the cleanup; and an aborted boost, which takes back what it wrote.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <tuple>

#include "power_fixture.h"

namespace zk::test {
namespace {

using sim::Op;

class DriverlessTest : public PowerTest {};

TEST_F(DriverlessTest, ABoostAndItsCleanupLineByLine) {
    Zelkor_Driverless_Apply("High", 1);
    EXPECT_EQ(processorAc(), (std::vector<std::uint32_t>{100, 100, 4, 100}));
    EXPECT_EQ(Zelkor_Driverless_GetMode(), 4u);
    EXPECT_EQ(machine.changes().back(), "PowerSetActiveScheme 381b4222-f694-41f0-9685-ff5bb260df2e");
    Zelkor_Driverless_Cleanup();
    EXPECT_EQ(processorAc(), (std::vector<std::uint32_t>{5, 100, 2, 10}));
    EXPECT_EQ(Zelkor_Driverless_GetMode(), 0u);
    EXPECT_EQ(lines(), (Lines{
        "[INFO] [Driverless] Active scheme GUID: " + kBalancedText,
        "[INFO] [Driverless] Starting boost (tier=high, in_game=true, scheme=" + kBalancedText + ")",
        "[INFO] [Driverless] Saved original values: {COREPARK_MIN=10, MAXPROCSTATE=100, MINPROCSTATE=5, "
        "PERFBOOSTMODE=2}",
        "[INFO] [Driverless] PERFBOOSTMODE calc: tier=high, in_game=true -> final=4",
        "[INFO] [Driverless] PERFBOOSTMODE set -> 4",
        "[INFO] [Driverless] COREPARK_MIN set -> 100 (core parking disabled)",
        "[INFO] [Driverless] StandbyPurge: Standby memory list purge requested successfully.",
        "[INFO] [Driverless] Prelaunch Standby List purge completed (Driverless Boost).",
        "[INFO] [Driverless] Laptop on AC -> Full boost allowed",
        "[INFO] [Driverless] BOOST ACTIVE.",
        "[INFO] [Driverless] Cleanup requested - restoring saved processor values for scheme " + kBalancedText + ".",
        "[INFO] [Driverless] Cleanup done. Restored settings count=4",
    }));
    // Each line whole on the debugger output and standard error, and to the callback.
    const std::string first = "[ZELKOR.Driverless] [2026-12-06 12:00:00] [INFO] [Driverless] Active scheme GUID: " +
                              kBalancedText + "\n";
    EXPECT_EQ(machine.debugOutput().front(), first);
    EXPECT_EQ(machine.stdErr().substr(0, first.size()), first);
}

TEST_F(DriverlessTest, BoostModeByTierGameAndPhysicalCores) {
    // Tier, in game, physical cores, the boost mode, and the calculation or guard line.
    using Case = std::tuple<const char*, int, std::uint32_t, std::uint32_t, std::string>;
    const std::string guard = "[INFO] [Driverless] Dual-Core Thermal Guard active -> PERFBOOSTMODE capped to 2";
    const Case cases[] = {
        {nullptr, 0, 4, 2, "[INFO] [Driverless] PERFBOOSTMODE calc: tier=low, in_game=false -> final=2"},
        {nullptr, 1, 3, 3, "[INFO] [Driverless] PERFBOOSTMODE calc: tier=low, in_game=true -> final=3"},
        {"", 1, 4, 3, "[INFO] [Driverless] PERFBOOSTMODE calc: tier=low, in_game=true -> final=3"},
        {"ULTRA", 0, 4, 2, "[INFO] [Driverless] PERFBOOSTMODE calc: tier=ultra, in_game=false -> final=2"},
        {"ULTRA", 7, 4, 3, "[INFO] [Driverless] PERFBOOSTMODE calc: tier=ultra, in_game=true -> final=3"},
        {"mid", 0, 16, 3, "[INFO] [Driverless] PERFBOOSTMODE calc: tier=mid, in_game=false -> final=3"},
        {"high", 1, 2, 2, guard},
        {"low", 0, 1, 2, guard},
        {"high", 1, 0, 4, "[INFO] [Driverless] PERFBOOSTMODE calc: tier=high, in_game=true -> final=4"},
    };
    for (const auto& [tier, inGame, cores, mode, line] : cases) {
        SCOPED_TRACE(std::string(tier ? tier : "(null)") + " cores " + std::to_string(cores));
        machine.setPhysicalCoreCount(cores);
        listen();
        Zelkor_Driverless_Apply(tier, inGame);
        EXPECT_EQ(Zelkor_Driverless_GetMode(), mode);
        EXPECT_EQ(ac(kBoostMode), mode);
        EXPECT_TRUE(logged(line));
        EXPECT_EQ(logged("[WARNING] [Driverless] Failed to get physical core count, assuming safe default (4)."),
                  cores == 0);
        if (line == guard) {
            EXPECT_EQ(lines().size(), 9u) << "the guard line replaces the calculation line";
        }
        Zelkor_Driverless_Cleanup();
    }
}

TEST_F(DriverlessTest, OriginalsThatCannotBeRead) {
    // The settings that cannot be read and the saved values (none readable: an aborted boost, below).
    const std::pair<std::vector<Guid>, std::string> cases[] = {
        {{kCorePark}, "{MAXPROCSTATE=100, MINPROCSTATE=5, PERFBOOSTMODE=2}"},
        {{kMin, kMax, kBoostMode}, "{COREPARK_MIN=10}"},
    };
    for (const auto& [unreadable, saved] : cases) {
        sim::SimMachine m;
        sim::ScopedMachine scope(m);
        common::resetAllModules();
        listen();
        for (const Guid& g : unreadable) m.failPowerRead(g, win::ERROR_ACCESS_DENIED);
        Zelkor_Driverless_Apply("low", 0);
        EXPECT_NE(Zelkor_Driverless_GetMode(), 0u);
        EXPECT_TRUE(logged("[DEBUG] [Driverless] PowerReadACValueIndex FAILED (err=5)"));
        EXPECT_TRUE(logged("[WARNING] [Driverless] WARNING: Only " + std::to_string(4 - unreadable.size()) +
                           "/4 original values could be read. Restore may be incomplete (COREPARK_MIN may be "
                           "unsupported on some systems)."));
        EXPECT_TRUE(logged("[INFO] [Driverless] Saved original values: " + saved));
        // Cleanup restores only what was saved.
        Zelkor_Driverless_Cleanup();
        EXPECT_EQ(lines().back(),
                  "[INFO] [Driverless] Cleanup done. Restored settings count=" + std::to_string(4 - unreadable.size()));
    }
}

TEST_F(DriverlessTest, ASecondBoostIsSkippedAndOriginalsAreReadOncePerScheme) {
    Zelkor_Driverless_Apply("mid", 0);
    machine.clearChanges();
    listen();
    Zelkor_Driverless_Apply("high", 1);
    EXPECT_EQ(lines(), (Lines{"[DEBUG] [Driverless] Boost already active, skipping."}));
    EXPECT_TRUE(machine.changes().empty());
    EXPECT_EQ(Zelkor_Driverless_GetMode(), 3u);

    // After a cleanup the scheme's originals are not read again.
    Zelkor_Driverless_Cleanup();
    machine.setPowerValue(kBalanced, win::GUID_PROCESSOR_SETTINGS_SUBGROUP, kMin, {42, 5});
    listen();
    Zelkor_Driverless_Apply("high", 1);
    Zelkor_Driverless_Cleanup();
    for (const auto& l : lines()) EXPECT_EQ(l.find("Saved original values"), std::string::npos);
    EXPECT_EQ(ac(kMin), 5u) << "the values from before the first boost";

    // Another scheme's originals are its own.
    machine.setPowerValue(kHighPerf, win::GUID_PROCESSOR_SETTINGS_SUBGROUP, kMin, {50, 50});
    ASSERT_EQ(Zelkor_Power_SetHighPerformance(), 1);
    listen();
    Zelkor_Driverless_Apply("low", 0);
    EXPECT_TRUE(logged("[INFO] [Driverless] Saved original values: {COREPARK_MIN=100, MAXPROCSTATE=100, "
                       "MINPROCSTATE=50, PERFBOOSTMODE=2}"));
    Zelkor_Driverless_Cleanup();
    EXPECT_EQ(processorAc(kHighPerf), (std::vector<std::uint32_t>{50, 100, 2, 100}));
    EXPECT_EQ(processorAc(kBalanced), (std::vector<std::uint32_t>{5, 100, 2, 10}));
}

// The AC writes of an aborted boost, in order: its own, then the originals of exactly the
// settings it wrote (where known); never an activation.
TEST_F(DriverlessTest, AnAbortedBoostTakesBackWhatItWrote) {
    // What fails, how, the last line, and the AC writes.
    using Case = std::tuple<const char*, std::function<void(sim::SimMachine&)>, std::string, std::string>;
    const std::string boosted = "MIN=100 MAX=100 BOOST=3 PARK=100 ";
    const Case cases[] = {
        {"no active scheme", [](sim::SimMachine& m) { m.failOp(Op::PowerGetActiveScheme, 120); },
         "[ERROR] [Driverless] Cannot read active power scheme GUID. Aborting boost.", ""},
        {"no original readable",
         [](sim::SimMachine& m) {
             for (const Guid& g : {kMin, kMax, kBoostMode, kCorePark}) m.failPowerRead(g, 5);
         },
         "[ERROR] [Driverless] CRITICAL: Failed to read ANY original processor values. "
         "Aborting boost to prevent unsafe or non-revertible changes.",
         ""},
        {"minimum", [](sim::SimMachine& m) { m.failPowerWrite(kMin, 5); },
         "[ERROR] [Driverless] Failed set MINPROCSTATE. Aborting boost.", ""},
        {"maximum", [](sim::SimMachine& m) { m.failPowerWrite(kMax, 5); },
         "[ERROR] [Driverless] Failed set MAXPROCSTATE. Aborting boost.", "MIN=100 MIN=5 "},
        {"boost mode", [](sim::SimMachine& m) { m.failPowerWrite(kBoostMode, 5); },
         "[ERROR] [Driverless] Failed set PERFBOOSTMODE. Aborting boost.", "MIN=100 MAX=100 MIN=5 MAX=100 "},
        {"activation", [](sim::SimMachine& m) { m.failOp(Op::PowerSetActiveScheme, 5); },
         "[ERROR] [Driverless] PowerSetActiveScheme FAILED after applying settings (err=5). Aborting boost.",
         boosted + "MIN=5 MAX=100 BOOST=2 PARK=10 "},
        // An original that could not be read cannot be put back.
        {"activation, core parking unread",
         [](sim::SimMachine& m) {
             m.failOp(Op::PowerSetActiveScheme, 5);
             m.failPowerRead(kCorePark, 2);
         },
         "[ERROR] [Driverless] PowerSetActiveScheme FAILED after applying settings (err=5). Aborting boost.",
         boosted + "MIN=5 MAX=100 BOOST=2 "},
    };
    const std::pair<Guid, const char*> keys[] = {{kMin, "MIN"}, {kMax, "MAX"}, {kBoostMode, "BOOST"}, {kCorePark, "PARK"}};
    for (const auto& [what, fault, error, expected] : cases) {
        SCOPED_TRACE(what);
        sim::SimMachine m;
        sim::ScopedMachine scope(m);
        common::resetAllModules();
        listen();
        m.setPowerValue(kBalanced, win::GUID_PROCESSOR_SETTINGS_SUBGROUP, kMin, {5, 5});
        fault(m);
        m.clearChanges();
        Zelkor_Driverless_Apply("high", 0);
        EXPECT_EQ(lines().back(), error);
        EXPECT_EQ(Zelkor_Driverless_GetMode(), 0u);
        std::string writes;
        for (const std::string& change : m.changes())
            for (const auto& [guid, key] : keys)
                if (change.rfind("PowerWriteACValueIndex " + sim::guidText(kBalanced) + " " + sim::guidText(guid), 0) == 0)
                    writes += key + change.substr(change.rfind(' ')).replace(0, 1, "=") + " ";
        EXPECT_EQ(writes, expected);
        for (const auto& change : m.changes()) EXPECT_EQ(change.find("PowerSetActiveScheme"), std::string::npos);
        // Nothing is active, so a cleanup stays silent.
        listen();
        Zelkor_Driverless_Cleanup();
        EXPECT_TRUE(lines().empty());
    }
}

TEST_F(DriverlessTest, CleanupRestoresWhatItCanAndAlwaysEnds) {
    Zelkor_Driverless_Apply("low", 1);
    machine.failPowerWrite(kCorePark, 5);
    machine.failOp(Op::PowerSetActiveScheme, 1168);
    listen();
    Zelkor_Driverless_Cleanup();
    EXPECT_EQ(lines(), (Lines{
        "[INFO] [Driverless] Cleanup requested - restoring saved processor values for scheme " + kBalancedText + ".",
        "[ERROR] [Driverless] PowerWriteACValueIndex FAILED (err=5, value=10)",
        "[WARNING] [Driverless] Cleanup: Failed to restore COREPARK_MIN. Setting may be unsupported or locked on this "
        "system.",
        "[ERROR] [Driverless] Cleanup: PowerSetActiveScheme FAILED (err=1168)",
        "[INFO] [Driverless] Cleanup done. Restored settings count=3",
    }));
    EXPECT_EQ(Zelkor_Driverless_GetMode(), 0u);
    EXPECT_EQ(processorAc(), (std::vector<std::uint32_t>{5, 100, 2, 100}));
}

TEST_F(DriverlessTest, BatteryMemoryLoadAndStandbyPurge) {
    machine.notAllAssigned("SeProfileSingleProcessPrivilege");  // the token lacks it
    // On battery the maximum ends at 85, written after the 100.
    machine.setPowerStatus({0});
    machine.scriptMemoryStatus({{74}});
    Zelkor_Driverless_Apply("low", 0);
    EXPECT_EQ(ac(kMax), 85u);
    EXPECT_TRUE(logged("[INFO] [Driverless] Laptop on BATTERY -> Limiting MAXPROCSTATE (85%)"));
    EXPECT_FALSE(logged("[INFO] [Driverless] RAM > 75% -> memoryCompact requested"));
    Zelkor_Driverless_Cleanup();

    // From 75 % load a compaction is requested, at most once a minute; an unreadable power
    // status logs neither line; a purge refused for want of its privilege is a warning.
    const std::string compact = "[INFO] [Driverless] memoryCompact executed (60s cooldown; no memory work is done here).";
    const std::string cooldown = "[DEBUG] [Driverless] GC cooldown active (<60s), skipping.";
    machine.scriptMemoryStatus({{75}});
    machine.failOp(Op::GetSystemPowerStatus, 1);
    for (std::uint64_t waitMs : {0, 59999, 1}) {
        machine.advanceMs(waitMs);
        listen();
        Zelkor_Driverless_Apply("low", 0);
        Zelkor_Driverless_Cleanup();
        EXPECT_TRUE(logged("[INFO] [Driverless] RAM > 75% -> memoryCompact requested"));
        EXPECT_EQ(logged(compact), waitMs != 59999) << waitMs;
        EXPECT_EQ(logged(cooldown), waitMs == 59999) << waitMs;
        EXPECT_FALSE(logged("[INFO] [Driverless] Laptop on AC -> Full boost allowed"));
        EXPECT_TRUE(logged("[WARNING] [Driverless] StandbyPurge: NtSetSystemInformation failed (status=0xc0000061). "
                           "Likely requires admin + proper privileges."));
        EXPECT_TRUE(logged("[DEBUG] [Driverless] Standby List purge skipped or failed (non-fatal)."));
    }
    machine.hideRoutine(platform::Routine::NtSetSystemInformation);
    listen();
    Zelkor_Driverless_Apply("low", 0);
    EXPECT_TRUE(logged("[WARNING] [Driverless] StandbyPurge: NtSetSystemInformation not found."));
    EXPECT_NE(Zelkor_Driverless_GetMode(), 0u) << "the side steps never stop a boost";
}

TEST_F(DriverlessTest, ConcurrentCallersSeeWholeBoostsAndCleanups) {
    auto loop = [](auto fn) {
        return std::thread([fn] {
            for (int i = 0; i < 50; ++i) fn();
        });
    };
    std::thread threads[] = {loop([] { Zelkor_Driverless_Apply("mid", 1); }), loop([] { Zelkor_Driverless_Cleanup(); }),
                             loop([] {
                                 const std::uint32_t m = Zelkor_Driverless_GetMode();
                                 EXPECT_TRUE(m == 0 || m == 4) << m;
                             })};
    for (auto& t : threads) t.join();
    Zelkor_Driverless_Cleanup();
    EXPECT_EQ(processorAc(), (std::vector<std::uint32_t>{5, 100, 2, 10}));
    EXPECT_EQ(std::count_if(lines().begin(), lines().end(),
                            [](const std::string& l) { return l.find("Saved original values") != std::string::npos; }),
              1);
}

}  // namespace
}  // namespace zk::test
