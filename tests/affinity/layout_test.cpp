// The inverse layout pass and the offender move: who is pinned, who is skipped and why,
// what the summary and the counters say, and the four-core rule of every layout export.

#include <memory>
#include <stdexcept>

#include "affinity/inverse_layout.h"
#include "affinity_fixture.h"

namespace zk::test {
namespace {

using sim::Op;

constexpr std::uint64_t kBackground = 0x9;  // cores 0 and 3
const std::string kSummary = "[INFO] [InverseAffinity] Summary \xE2\x86\x92 ";

class InverseLayout : public AffinityTest {
protected:
    void SetUp() override {
        AffinityTest::SetUp();
        configure([](AffinityConfig& c) { c.rate_limit_enabled = 0, c.signature_policy_enabled = 0; });
    }
    // Snapshot entries: explorer, game, child, grandchild, chrome, hog, svchost, smss, self.
    static constexpr std::uint64_t kEntries = 9;
};

TEST_F(InverseLayout, PinsOnlyUnrelatedUnprotectedProcesses) {
    EXPECT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    EXPECT_EQ(affinityOf(kChrome), kBackground);
    EXPECT_EQ(affinityOf(kHog), kBackground);
    for (std::uint32_t untouched : {kGame, kChild, kGrandchild, kExplorer, kSvchost, kLowPid, 1000u})
        EXPECT_EQ(affinityOf(untouched), 0u) << untouched;
    EXPECT_TRUE(logged(kSummary + "modified=2 skipped=7 accessDenied=0"));
    EXPECT_EQ(metrics(), (Metrics{2, 0, 0}));
    listen();
    Zelkor_Affinity_DiagnoseStatus();
    EXPECT_EQ(lines(), (Lines{"[INFO] === AFFINITY DIAGNOSTIC ===\nusing_inverse=true\ninverse_target_pid=500\n"
                              "inverse_cores=0 3 \n============================"}));
}

// A process that fails is skipped and counted; a game whose masks cannot be read, or a
// walk that throws, means no pass at all (no summary, nothing changed).
TEST_F(InverseLayout, FailuresPerProcessAreSkippedAndCounted) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string summary;  // empty: no pass
        Metrics after;
    };
    const auto failing = [this](Op op, std::uint32_t code) { return [=, this] { machine.failOp(op, code, 1); }; };
    const std::string one = "modified=1 skipped=8 accessDenied=0";
    const Case cases[] = {
        {"denied", failing(Op::SetProcessAffinityMask, 5), "modified=1 skipped=8 accessDenied=1", {1, 1, 0}},
        {"other error", failing(Op::SetProcessAffinityMask, 87), one, {1, 1, 0}},
        {"cannot open", [&] { machine.process(kHog)->deniedAccess = 0x200; }, one, {1, 0, 0}},
        {"protected", [&] { machine.process(kHog)->protectionLevel = sim::kProtectedLevel; }, one, {1, 0, 0}},
        {"exited after the walk began", [&] {
             auto walks = std::make_shared<int>(0);  // the parent map's, then the pass's own
             machine.setHook(Op::ProcessFirst, [this, walks] { if (++*walks == 2) machine.exitProcess(kHog); });
         },
         one, {1, 0, 0}},
        {"name unreadable", failing(Op::QueryFullProcessImageName, 31), "modified=2 skipped=7 accessDenied=0",
         {2, 0, 0}},
        {"game's masks unreadable", failing(Op::GetProcessAffinityMask, 5), "", {0, 1, 0}},
        {"walk throws", [&] { machine.setHook(Op::CreateProcessSnapshot, [] { throw std::runtime_error("boom"); }); },
         "", {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();  // every process back as it was
        Zelkor_Affinity_ResetMetrics();
        c.arrange();
        EXPECT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), c.summary.empty() ? 0 : 1);
        EXPECT_EQ(logged(kSummary + c.summary), !c.summary.empty()) << lines().back();
        EXPECT_EQ(metrics(), c.after);
        if (c.summary.empty()) {
            EXPECT_EQ(affinityOf(kChrome), 0u);
        }
        machine.clearFaults();
        machine.setHook(Op::ProcessFirst, {});
        machine.setHook(Op::CreateProcessSnapshot, {});
    }
    EXPECT_TRUE(logged("[ERROR] [InverseAffinity] Unexpected error (std::exception): boom"));
}

TEST_F(InverseLayout, UnreadableMasksStillCountAsModifiedAndPinsOutsideTheSystemMaskFallBackToIt) {
    int reads = 0;
    machine.setHook(Op::GetProcessAffinityMask, [&] {
        if (++reads == 2) machine.failOp(Op::GetProcessAffinityMask, 5, 1);  // the first process after the game
    });
    EXPECT_TRUE(affinity::ApplyInverseLayout(kGame, {0, 3}));
    EXPECT_TRUE(logged(kSummary + "modified=2 skipped=7 accessDenied=0"));
    EXPECT_EQ(affinityOf(kChrome) + affinityOf(kHog), kBackground) << "one of them left as it was";
    EXPECT_TRUE(affinity::ApplyInverseLayout(kGame, {8, 9, 64, -1}));
    EXPECT_EQ(affinityOf(kChrome), 0xFFu);
}

TEST_F(InverseLayout, NothingChangesOnFourCoresOrFewer) {
    machine.setLogicalProcessorCount(4);
    const double sample = 1.0;
    EXPECT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 0);
    EXPECT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 0);
    EXPECT_EQ(Zelkor_Affinity_DynamicStepForPid(kGame, &sample, 1), 0);
    EXPECT_EQ(Zelkor_Affinity_ApplyInverseForOffenderPid(kHog), 0);
    EXPECT_FALSE(affinity::ApplyInverseLayout(kGame, {0, 3}));
    const std::string cores = "CPU has 4 logical cores (no affinity";
    EXPECT_TRUE(logged("[INFO] [Affinity] ApplyBoost skipped: " + cores + " on <=4 cores)."));
    EXPECT_TRUE(logged("[INFO] [DynamicAffinity] Skipped: " + cores + " on <=4 cores)."));
    EXPECT_TRUE(logged("[INFO] [InverseAffinity] Offender skipped: " + cores + " changes on <=4 cores)."));
    EXPECT_TRUE(logged("[INFO] [InverseAffinity] Skipped: " + cores + " changes on <=4 cores)."));
    EXPECT_TRUE(machine.changes().empty());
}

class OffenderInverse : public InverseLayout {};

TEST_F(OffenderInverse, EligibilityAndResults) {
    EXPECT_EQ(Zelkor_Affinity_ApplyInverseForOffenderPid(kHog), 0);
    EXPECT_EQ(lines(), (Lines{"[INFO] [InverseAffinity] Offender skipped (no active inverse layout)"}));
    ASSERT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    machine.addProcess(4, 0, "System");
    machine.addProcess(2000, 4, "late.exe");
    machine.addProcess(9, 4, "nine.exe");
    struct Case {
        std::int32_t pid;
        std::int32_t result;
        Lines lines;
    };
    const std::string arrow = " \xE2\x86\x92 applied";
    std::vector<Case> cases = {
        {2000, 1, {"[INFO] [InverseAffinity] Offender PID 2000" + arrow}},
        {9, 1, {"[INFO] [InverseAffinity] Offender PID 9" + arrow}},  // only 0 and 4 are refused
        {kHog, 1, {"[INFO] [InverseAffinity] Offender PID 610" + arrow}},  // already there: nothing to set
        {kChild, 0, {"[INFO] [InverseAffinity] Offender skipped (descendant of game)"}},
    };
    // The game, pids 0 and 4, the engine, a protected name and pids no process has: refused silently.
    for (const std::int32_t pid : std::initializer_list<std::int32_t>{kGame, 4, 1000, kExplorer, 0, -7, 4242})
        cases.push_back({pid, 0, {}});
    for (const Case& c : cases) {
        listen();
        Zelkor_Affinity_ResetMetrics();
        EXPECT_EQ(Zelkor_Affinity_ApplyInverseForOffenderPid(c.pid), c.result) << c.pid;
        EXPECT_EQ(lines(), c.lines) << c.pid;
        EXPECT_EQ(metrics().modified, static_cast<std::uint64_t>(c.result)) << c.pid;
    }
    EXPECT_EQ(affinityOf(2000), kBackground);
    EXPECT_EQ(affinityOf(kChild), 0u);
}

TEST_F(OffenderInverse, RefusedChangesCountAsFailures) {
    ASSERT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    machine.addProcess(2000, 4, "late.exe");
    Zelkor_Affinity_ResetMetrics();
    machine.failOp(Op::SetProcessAffinityMask, 5, 1);
    listen();
    EXPECT_EQ(Zelkor_Affinity_ApplyInverseForOffenderPid(2000), 0);
    EXPECT_EQ(lines(), (Lines{"[WARNING] [InverseAffinity] Offender PID 2000 \xE2\x86\x92 access denied"}));
    machine.failOp(Op::SetProcessAffinityMask, 87, 1);
    listen();
    EXPECT_EQ(Zelkor_Affinity_ApplyInverseForOffenderPid(2000), 0);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(metrics(), (Metrics{0, 2, 0}));
    machine.exitProcess(kGame);
    EXPECT_EQ(Zelkor_Affinity_ApplyInverseForOffenderPid(2000), 0) << "the game is gone";
    EXPECT_EQ(affinityOf(2000), 0u);
}

}  // namespace
}  // namespace zk::test
