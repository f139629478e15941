// One engine's passes on the simulated clock: which processes each rule demotes, what is
// skipped before any measurement, and how failures show.

#include <stdexcept>

#include "common/reset_registry.h"
#include "softdemote_fixture.h"

namespace zk::test {
namespace {

using sim::Op;

class SoftDemotePassTest : public SoftDemoteTest {};

TEST_F(SoftDemotePassTest, FirstPassDemotesByMemoryOrKnownAppOnlyAndNothingUnderAnAntiCheatOrOnFour) {
    struct Case { std::uint32_t n; const char* antiCheat; bool demotes; };
    // Five processors have no layout, so no light process is exempt.
    for (const Case c : {Case{5, nullptr, true}, Case{5, "VGK.exe", false}, Case{5, "FACEIT_svc.exe", false},
                         Case{4, nullptr, false}}) {
        SCOPED_TRACE(::testing::Message() << c.n << " processors, anti-cheat " << (c.antiCheat ? c.antiCheat : "-"));
        common::resetAllModules();
        listen();
        add(601, "hog.exe", 2000);
        add(602, "YourPhone.exe");
        add(603, "busy.exe").times.user = 50'000'000;
        if (c.antiCheat) add(604, c.antiCheat); else machine.removeProcess(604);
        auto e = engine("mid", c.n);
        const softdemote::PassResult pass = e->runDemotionPass();
        EXPECT_FALSE(pass.spike);
        EXPECT_EQ(idle(601), c.demotes);
        EXPECT_EQ(idle(602), c.demotes);
        EXPECT_FALSE(idle(603));
        // Demoted: idle class, very low I/O and memory priority; never background mode.
        EXPECT_EQ(machine.process(601)->ioPriority, c.demotes ? 0u : 2u);
        EXPECT_EQ(machine.process(601)->memoryPriority, c.demotes ? 1u : 5u);
        EXPECT_FALSE(machine.process(601)->backgroundMode);
    }
}

// Under an anti-cheat, from the second pass on: above the high limit, or over the memory
// limit and above 4 %; never by the mid limit alone, memory alone or a known name.
TEST_F(SoftDemotePassTest, AnAntiCheatDemotesOnlyAboveTheHighLimitOrWithMemoryAndLoad) {
    const struct { const char* name; double mb, cpu; bool demoted; } cases[] = {
        {"mid.exe", 10, 11.9, false}, {"high.exe", 10, 12.1, true},   {"memload.exe", 2000, 4.1, true},
        {"mem4.exe", 2000, 4.0, false}, {"load.exe", 10, 5.0, false}, {"YourPhone.exe", 10, 5.0, false},
    };
    add(600, "EasyAntiCheat.exe");
    std::uint32_t pid = 601;
    for (const auto& c : cases) add(pid++, c.name, c.mb);
    auto e = engine("mid", 5);
    e->runDemotionPass();
    std::vector<std::pair<std::uint32_t, double>> shares;
    for (const auto& c : cases) shares.emplace_back(601 + shares.size(), c.cpu);
    burn(shares, 1000, 5);
    e->runDemotionPass();
    pid = 601;
    for (const auto& c : cases) EXPECT_EQ(idle(pid++), c.demoted) << c.name;
}

TEST_F(SoftDemotePassTest, FourProcessorsDemoteOnTheReservedCoreAboveThreePercent) {
    add(701, "pinned.exe").affinity = 0x1;
    add(702, "pinned3.exe").affinity = 0x1;
    add(703, "spread.exe").affinity = 0xF;
    auto e = engine("mid", 4);
    e->runDemotionPass();
    burn({{701, 3.5}, {702, 3.0}, {703, 3.5}}, 1000, 4);
    e->runDemotionPass();
    EXPECT_TRUE(idle(701));
    EXPECT_FALSE(idle(702)) << "exactly 3.0 % is not above it";
    EXPECT_FALSE(idle(703)) << "allowed on the layout and light: exempt";
}

TEST_F(SoftDemotePassTest, OrdinaryRuleAndSpikeRule) {
    struct Case { double copierCpu; bool spike, copierDemoted; std::uint64_t readBytes = 0; };
    // A copier writing 6 MB between passes at 2 %: heavy I/O alone needs more than 3 %,
    // but during a spike any I/O-heavy process above 1.5 % goes. Reading exactly the
    // tier's 5,000,000 bytes instead is not heavy.
    for (const Case c : {Case{2.0, false, false}, Case{2.0, true, true}, Case{3.5, false, true},
                         Case{2.0, true, false, 5'000'000}}) {
        SCOPED_TRACE(::testing::Message() << "cpu " << c.copierCpu << (c.spike ? " spike" : ""));
        common::resetAllModules();
        listen();
        add(801, "copier.exe").io.writeTransfer = 0;
        add(802, "worker.exe");
        auto e = engine("mid", 8);
        machine.addSystemTimes(100, 900);
        e->runDemotionPass();
        machine.withProcess(801, [&](sim::SimProcess& p) {
            (c.readBytes ? p.io.readTransfer : p.io.writeTransfer) += c.readBytes ? c.readBytes : 6'000'000;
        });
        machine.addSystemTimes(c.spike ? 500 : 100, c.spike ? 500 : 900);
        burn({{801, c.copierCpu}, {802, 5.9}}, 1000, 8);
        const softdemote::PassResult pass = e->runDemotionPass();
        EXPECT_EQ(pass.spike, c.spike);
        EXPECT_EQ(idle(801), c.copierDemoted);
        EXPECT_FALSE(idle(802)) << "light, and no I/O, memory or known app for the spike rule";
        machine.withProcess(801, [](sim::SimProcess& p) { p.priorityClass = win::NORMAL_PRIORITY_CLASS; });
    }
}

// A process last sampled more than ten minutes ago is sampled afresh, not compared. A
// machine that reports no processors gives no process share, so none counts as busy.
TEST_F(SoftDemotePassTest, ASampleOlderThanTenMinutesIsTakenAgainAndNoProcessorsMeansNoneIsBusy) {
    struct Case { std::uint32_t n; std::uint64_t gapMs; bool demoted; };
    for (const Case c : {Case{8, 600'000, true}, Case{8, 600'001, false}, Case{0, 1000, false}}) {
        common::resetAllModules();
        listen();
        add(801, "busy.exe");
        auto e = engine("mid", c.n);
        e->runDemotionPass();
        burn({{801, 50.0}}, c.gapMs, c.n ? c.n : 1);
        machine.withProcess(801, [](sim::SimProcess& p) { std::swap(p.times.kernel, p.times.user); });  // kernel only
        e->runDemotionPass();
        EXPECT_EQ(idle(801), c.demoted) << c.n << " processors, " << c.gapMs << " ms";
    }
}

TEST_F(SoftDemotePassTest, AdjustedLoadCountsTheGamesProcessorsUpToTheSixtyFourth) {
    struct Case { std::uint64_t gameMask; double adjusted; };
    for (const Case c : {Case{0, 60.0}, Case{~0ull, 60.0}, Case{0x1, 50.0}}) {
        common::resetAllModules();
        machine.process(kGame)->affinity = c.gameMask;
        auto e = engine("mid", 64);
        machine.addSystemTimes(500, 500);
        const softdemote::PassResult pass = e->runDemotionPass();
        EXPECT_DOUBLE_EQ(pass.systemCpu, 50.0);
        EXPECT_DOUBLE_EQ(pass.adjustedCpu, c.adjusted) << std::hex << c.gameMask;
    }
}

TEST_F(SoftDemotePassTest, ProtectedCriticalGameExcludedAndOwnProcessAreSkippedBeforeAnyMeasurement) {
    add(901, "Steam.exe", 4000);
    add(902, "amd acp", 4000);
    add(903, "excluded.exe", 4000);
    add(904, "ordinary.exe");
    add(905, "guard.exe", 4000).protectionLevel = sim::kProtectedLevel;  // it cannot be opened as asked
    add(906, "critical.exe", 4000).breakOnTermination = true;
    machine.process(kGame)->memory.workingSetSize = 4000ull << 20;
    machine.process(1000)->memory.workingSetSize = 4000ull << 20;
    auto e = engine("mid", 8, 903);
    e->runDemotionPass();
    EXPECT_EQ(lines(), (Lines{"Engine constructed (tier=mid)"}));
    for (std::uint32_t pid : {901u, 902u, 903u, 905u, 906u, kGame, 1000u}) {
        EXPECT_FALSE(idle(pid)) << pid;
        EXPECT_FALSE(e->hasCpuSample(pid) || e->hasIoSample(pid)) << pid;
    }
    EXPECT_TRUE(e->hasCpuSample(904) && e->hasIoSample(904));
}

TEST_F(SoftDemotePassTest, RefusedDemotionIsSilentForAccessDeniedAndLoggedOtherwiseEachPass) {
    add(601, "hog.exe", 2000);
    auto e = engine("mid", 8);
    machine.failOp(Op::SetPriorityClass, win::ERROR_ACCESS_DENIED);
    e->runDemotionPass();
    EXPECT_EQ(lines(), (Lines{"Engine constructed (tier=mid)"}));
    machine.failOp(Op::SetPriorityClass, 31);
    e->runDemotionPass();
    e->runDemotionPass();
    EXPECT_EQ(lines(), (Lines{"Engine constructed (tier=mid)", "Failed to demote PID 601 (error: 31)",
                              "Failed to demote PID 601 (error: 31)"}));
    EXPECT_EQ(machine.process(601)->ioPriority, 2u) << "nothing more after the class is refused";
    // Systems without I/O or memory priority keep the idle class alone, silently.
    machine.clearFaults();
    machine.hideRoutine(platform::Routine::SetProcessInformation);
    machine.failOp(Op::NtSetInformationProcess, static_cast<std::uint32_t>(win::STATUS_NOT_IMPLEMENTED));
    e->runDemotionPass();
    EXPECT_TRUE(idle(601));
    EXPECT_EQ(machine.process(601)->memoryPriority, win::MEMORY_PRIORITY_NORMAL);
    EXPECT_EQ(lines().size(), 3u);
}

TEST_F(SoftDemotePassTest, AThrowInOneProcessIsLoggedAndThePassGoesOn) {
    const struct { std::function<void()> thrower; std::string line; } cases[] = {
        {[] { throw std::runtime_error("boom"); }, "Error processing PID 601: boom"},
        {[] { throw 42; }, "Unknown error processing PID 601"},
    };
    add(601, "first.exe");
    add(602, "hog.exe", 2000);
    for (const auto& c : cases) {
        common::resetAllModules();
        listen();
        auto e = engine("mid", 8);
        bool thrown = false;
        machine.setHook(Op::GetProcessTimes, [&] {
            if (!std::exchange(thrown, true)) c.thrower();
        });
        e->runDemotionPass();
        EXPECT_EQ(lines().back(), c.line);
        EXPECT_TRUE(idle(602));
    }
    machine.setHook(Op::GetProcessTimes, nullptr);
    // Outside one process's handling, the throw ends the pass.
    machine.setHook(Op::CreateProcessSnapshot, [] { throw std::runtime_error("walk"); });
    EXPECT_THROW(engine("mid", 8)->runDemotionPass(), std::runtime_error);
}

// The list is read again every two seconds, warned about past 2000 processes; what has
// gone is then forgotten.
TEST_F(SoftDemotePassTest, TheListIsRescannedEveryTwoSecondsWarnedAboutPast2000AndPruned) {
    add(601, "short.exe");
    for (std::uint32_t pid = 2000; pid < 3997; ++pid) add(pid, "many.exe");  // 2000 with 601, game and self
    auto e = engine("mid", 8);
    e->runDemotionPass();
    EXPECT_EQ(lines().size(), 1u);
    machine.removeProcess(601);
    add(3997, "hog.exe", 2000);
    add(3998, "many.exe");
    machine.advanceMs(1999);
    e->runDemotionPass();
    EXPECT_TRUE(e->hasName(601) && e->hasCpuSample(601)) << "the scan is not due yet";
    machine.advanceMs(1);
    e->runDemotionPass();
    EXPECT_FALSE(e->hasName(601) || e->hasCpuSample(601) || e->hasIoSample(601));
    EXPECT_EQ(lines().back(), "Waarschuwing: Zeer veel processen (2001)");
    EXPECT_TRUE(idle(3997));
}

}  // namespace
}  // namespace zk::test
