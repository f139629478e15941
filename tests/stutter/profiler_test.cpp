// The offender profiler through its exports, over the simulated machine and clock.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "stutter/profiler.h"
#include "support/machine_fixture.h"
#include "zelkor.h"

namespace {

using zk::sim::Op;
using zk::sim::SimProcess;

// PfRootCause's doubles are not 8-byte aligned: compare copies, not references.
double v(double packed) { return packed; }
constexpr std::uint64_t MB = 1048576;
constexpr std::uint32_t kGame = 500;

std::vector<std::string> g_log;
void ZK_CALL collect(const char* line) { g_log.emplace_back(line); }

class ProfilerTest : public zk::test::MachineTest {
protected:
    void SetUp() override {
        g_log.clear();
        machine.setLogicalProcessorCount(1);
        machine.advanceMs(1000);
        machine.addProcess(kGame, 4, "game.exe");
    }
    SimProcess& hog(std::uint32_t pid, const char* name = "hog.exe", std::uint32_t parent = 4) {
        return machine.addProcess(pid, parent, name);
    }
    // A walk as a severe stutter asks for it (threshold 10), into rc.
    int walk(double risk = 0.95, double p99 = 5.0) {
        std::memset(&rc, 0xAB, sizeof rc);
        return PF_GetRootCause(kGame, risk, p99, &rc);
    }
    int nextWalk(double risk = 0.95, double p99 = 5.0) {
        machine.advanceMs(10000);
        return walk(risk, p99);
    }
    static bool zeroed(const PfRootCause& r) {
        static const PfRootCause zero{};
        return std::memcmp(&r, &zero, sizeof r) == 0;
    }

    PfRootCause rc;
};

TEST_F(ProfilerTest, TheScoreToReachFollowsTheRisk) {
    // 2000 MB of working set alone scores 10 on a first walk; every 5 page faults since the last walk 1 more.
    SimProcess& p = hog(600);
    p.memory.workingSetSize = 2000 * MB;
    p.memory.pageFaultCount = 1;
    ASSERT_EQ(walk(0.9), 1);
    EXPECT_EQ(rc.pid, 600u);
    EXPECT_EQ(v(rc.score), 10.0);  // exactly the threshold
    EXPECT_EQ(v(rc.ramMB), 2000.0);
    EXPECT_EQ(rc.category, 3);
    PF_Reset();
    EXPECT_EQ(walk(), 0);  // a reset clears the history, not the ten seconds

    const struct { double risk, p99Ms; std::uint32_t faults; int found; } cases[] = {
        {0.8999, 5.0, 0, 0}, {0.75, 0.0, 25, 1}, {0.7499, 5.0, 25, 0}, {0.7499, 5.0, 50, 1},
        {0.55, 0.0, 50, 1}, {0.5499, 1.99, 50, 0}};  // 20 points would have been enough: no walk
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.risk << " " << c.p99Ms << " " << c.faults);
        p.memory.pageFaultCount += c.faults;
        EXPECT_EQ(nextWalk(c.risk, c.p99Ms), c.found);
    }
}

TEST_F(ProfilerTest, RatesBetweenWalksAndTheDominantCause) {
    machine.setLogicalProcessorCount(4);
    SimProcess& cpu = hog(600, "cpu.exe");
    SimProcess& disk = hog(601, "disk.exe");
    EXPECT_EQ(walk(), 0);
    // 10 s of wall time: 12 s of CPU over 4 processors is 30 %, a 12-point part;
    // 200 MB in 10 s is 20 MB/s, also 12 points. The tie goes to CPU.
    cpu.times.user += 100000000;
    cpu.times.kernel += 20000000;
    cpu.io.readTransfer += 150 * MB;
    cpu.io.writeTransfer += 50 * MB;
    ASSERT_EQ(nextWalk(), 1);
    EXPECT_EQ(rc.pid, 600u);
    EXPECT_DOUBLE_EQ(v(rc.cpuPct), 30.0);
    EXPECT_DOUBLE_EQ(v(rc.ioMBps), 20.0);
    EXPECT_DOUBLE_EQ(v(rc.score), 24.0);
    EXPECT_EQ(rc.category, 1);

    // A bigger I/O part wins; the higher score is the offender.
    disk.io.writeTransfer += 400 * MB;  // 40 MB/s: 24 points
    disk.times.user += 40000000;        // 10 %: 4 points
    ASSERT_EQ(nextWalk(), 1);
    EXPECT_EQ(rc.pid, 601u);
    EXPECT_EQ(rc.category, 2);
    EXPECT_DOUBLE_EQ(v(rc.score), 28.0);

    // CPU share is limited to 100 %.
    cpu.times.user += 800000000;
    ASSERT_EQ(nextWalk(), 1);
    EXPECT_EQ(v(rc.cpuPct), 100.0);
}

TEST_F(ProfilerTest, GameItsChildrenSystemAndCompanionsAreNeverBlamed) {
    const struct { std::uint32_t pid, parent; const char* name; } bystanders[] = {
        {601, kGame, "child.exe"}, {602, 4, "SvcHost.exe"}, {603, 4, "MEMORY COMPRESSION"},
        {604, 4, "ZelkorService.exe"}, {605, 4, "dwm.exe"}, {kGame, 4, "game.exe"}};
    for (const auto& b : bystanders) hog(b.pid, b.name, b.parent).memory.workingSetSize = 4000 * MB;
    EXPECT_EQ(walk(), 0);
    for (const auto& o : machine.opens()) EXPECT_EQ(o.pid, 1000u) << "opened " << o.pid;

    hog(606, "grandchild.exe", 601).memory.workingSetSize = 4000 * MB;
    hog(607, "svchost.exe.bak").memory.workingSetSize = 2000 * MB;
    ASSERT_EQ(nextWalk(), 1);
    EXPECT_EQ(rc.pid, 606u);
    EXPECT_EQ(machine.opens().back().access, 0x410u);  // query information + VM read
}

TEST_F(ProfilerTest, OneWalkPerTenSecondsCountingRefusedOnesAndFaultGrowthSinceTheLast) {
    // The hog qualifies whenever a severe stutter's walk runs: a 0 below is a walk refused.
    SimProcess& p = hog(600);
    p.memory.workingSetSize = 3000 * MB;
    p.memory.pageFaultCount = 100;
    EXPECT_EQ(walk(0.5, 1.9), 0);  // no stutter: no walk, and the ten seconds do not start
    machine.advanceMs(5000);
    EXPECT_EQ(walk(0.1, 2.0), 0);  // the p99 alone is a stutter: a walk at threshold 20 finds none
    machine.advanceMs(5000);
    EXPECT_EQ(walk(), 0);
    EXPECT_TRUE(zeroed(rc));
    machine.advanceMs(4999);
    EXPECT_EQ(walk(), 0);
    machine.advanceMs(1);
    p.memory.pageFaultCount = 600;
    machine.failOp(Op::CreateProcessSnapshot, 8, 1);
    EXPECT_EQ(walk(), -2);  // admitted, so it counts
    EXPECT_TRUE(zeroed(rc));
    machine.advanceMs(9999);
    EXPECT_EQ(walk(), 0);
    machine.advanceMs(1);
    ASSERT_EQ(walk(), 1);
    EXPECT_EQ(rc.faults, 500u);    // since the last walk that ran
    EXPECT_EQ(v(rc.score), 50.0);  // 10 for the working set, 40 for the faults at their cap
    EXPECT_EQ(rc.category, 4);
}

TEST_F(ProfilerTest, SecondCallerDuringAWalkGetsMinusThreeAndOutOfMemoryNoOffender) {
    hog(600).memory.workingSetSize = 3000 * MB;
    int inner = 0;
    PfRootCause innerRc;
    std::memset(&innerRc, 0xAB, sizeof innerRc);
    machine.setHook(Op::CreateProcessSnapshot, [&] {
        machine.setHook(Op::CreateProcessSnapshot, nullptr);
        machine.advanceMs(10000);  // past the rate limit, so only the running walk stops it
        inner = PF_GetRootCause(kGame, 0.95, 5.0, &innerRc);
    });
    EXPECT_EQ(walk(), 1);
    EXPECT_EQ(rc.pid, 600u);
    EXPECT_EQ(inner, -3);
    EXPECT_TRUE(zeroed(innerRc));
    EXPECT_EQ(nextWalk(), 1);  // the flag is clear again
    machine.setHook(Op::OpenProcess, [] { throw std::bad_alloc(); });  // no exception crosses the export
    EXPECT_EQ(nextWalk(), 0);
    EXPECT_TRUE(zeroed(rc));
    machine.setHook(Op::OpenProcess, nullptr);
    EXPECT_EQ(nextWalk(), 1);  // and clear after a walk that threw
}

TEST_F(ProfilerTest, ReusedProcessIdStartsOverWhicheverCounterFell) {
    // The new process under an old id has one counter below the old one's, and the others
    // above them, which measured against the old ones would look like real rates.
    const struct { const char* fell; std::uint64_t user, read; std::uint32_t faults; } cases[] = {
        {"times", 10000000, 950 * MB, 6000}, {"I/O", 600000000, 1 * MB, 6000}, {"faults", 600000000, 950 * MB, 900}};
    std::uint32_t pid = 600;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fell);
        SimProcess& old = hog(pid);
        old.times.user = 500000000;
        old.io.readTransfer = 900 * MB;
        old.memory.pageFaultCount = 5000;
        EXPECT_EQ(nextWalk(), 0);
        SimProcess& q = hog(pid, "fresh.exe");
        q.times.user = c.user;
        q.io.readTransfer = c.read;
        q.memory.pageFaultCount = c.faults;
        EXPECT_EQ(nextWalk(), 0);  // seen for the first time: nothing to measure
        q.times.user += 50000000;  // 50 % of one processor: 20 points
        ASSERT_EQ(nextWalk(), 1);
        EXPECT_EQ(rc.pid, pid++);
        EXPECT_STREQ(rc.name, "fresh.exe");
        EXPECT_DOUBLE_EQ(v(rc.cpuPct), 50.0);
        EXPECT_EQ(v(rc.ioMBps), 0.0);
        EXPECT_EQ(rc.faults, 0u);
    }
}

TEST_F(ProfilerTest, ResultRecordAndTheBestOfEqualAndHigherScores) {
    // Names: as listed, converted to the ANSI code page, cut to 63 characters.
    const std::u16string longName = u"\x00E9\x4E2D" + std::u16string(78, u'x');
    machine.addProcess(600, 4, longName).memory.workingSetSize = 3000 * MB;
    SimProcess& second = machine.addProcess(601, 4, std::u16string(u"Second.EXE"));
    second.memory.workingSetSize = 3000 * MB;
    second.memory.pageFaultCount = 1;
    EXPECT_EQ(walk(std::nan(""), std::nan("")), 0);  // garbage is no stutter, and starts no ten seconds
    ASSERT_EQ(walk(), 1);
    EXPECT_EQ(rc.pid, 600u);  // equal scores: the first in walk order
    EXPECT_EQ(std::string(rc.name), "\xE9?" + std::string(61, 'x'));
    EXPECT_EQ(v(rc.score), 10.0);
    second.memory.pageFaultCount += 5;  // one point more: the higher score, later in walk order
    ASSERT_EQ(nextWalk(), 1);
    EXPECT_EQ(rc.pid, 601u);
}

TEST_F(ProfilerTest, LogLinesAndReset) {
    PF_Init();
    PF_SetLogCallback(collect);
    PF_Init();
    hog(600).memory.pageFaultCount = 10;
    walk();
    PF_Reset();
    PF_SetLogCallback(nullptr);
    PF_Reset();
    EXPECT_EQ(g_log, (std::vector<std::string>{"[Profiler] Logging enabled.", "[Profiler] Init.",
                                               "[Profiler] Stutter detected → scanning…", "[Profiler] Reset."}));
    // After a reset nothing but the working set counts.
    machine.process(600)->memory.pageFaultCount = 500;
    EXPECT_EQ(nextWalk(), 0);
}

}  // namespace
