// The tuner's process snapshot and the parent-chain test.

#include <gtest/gtest.h>

#include "iotuner/process_snapshot.h"
#include "iotuner_fixture.h"

namespace {

using namespace zk;
using iotuner::IsDescendantOf;
using iotuner::ProcessSnapshot;

class SnapshotTest : public test::IoTunerTest {};

TEST_F(SnapshotTest, NormalisedNamesInPlatformOrder) {
    machine.addProcess(500, 1000, "C:\\Games\\Foo Bar_EAC.exe");
    machine.addProcess(501, 500, u"Caf\u00e9.exe");
    machine.addProcess(502, 0, std::u16string(u"x") + char16_t(0xD800) + u".exe");  // lone surrogate
    const ProcessSnapshot s = iotuner::TakeProcessSnapshot();
    ASSERT_EQ(s.size(), 4u);  // the machine's own process comes first
    EXPECT_EQ(s.entries()[0].name, "zelkor_tests");
    EXPECT_EQ(s.entries()[1].pid, 500u);
    EXPECT_EQ(s.entries()[1].parentPid, 1000u);
    EXPECT_EQ(s.entries()[1].name, "foobar");
    EXPECT_EQ(s.entries()[2].name, "caf");
    EXPECT_EQ(s.entries()[3].name, "x");
    EXPECT_EQ(s.find(501), &s.entries()[2]);
    EXPECT_EQ(s.find(9), nullptr);
}

TEST_F(SnapshotTest, NameThatDoesNotFitIn260BytesIsSkipped) {
    machine.addProcess(600, 0, std::u16string(100, u'\u00e9') + u".exe");  // 200 + 4 bytes: fits
    machine.addProcess(601, 0, std::u16string(130, u'\u00e9'));             // 260 bytes: no room for the NUL
    machine.addProcess(602, 0, std::u16string(86, u'\u20ac') + u"a");      // 258 + 1 bytes: fits
    const ProcessSnapshot s = iotuner::TakeProcessSnapshot();
    EXPECT_NE(s.find(600), nullptr);
    EXPECT_EQ(s.find(601), nullptr);
    ASSERT_NE(s.find(602), nullptr);
    EXPECT_EQ(s.find(602)->name, "a");
}

TEST_F(SnapshotTest, FailuresGiveAnEmptyListAndAnErrorLine) {
    machine.failOp(sim::Op::CreateProcessSnapshot, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_TRUE(iotuner::TakeProcessSnapshot().empty());
    machine.failOp(sim::Op::ProcessFirst, win::ERROR_NO_MORE_FILES, 1);
    EXPECT_TRUE(iotuner::TakeProcessSnapshot().empty());
    EXPECT_EQ(messages(), (std::vector<std::string>{"[ERROR] [IOTuner] CreateToolhelp32Snapshot failed.",
                                                    "[ERROR] [IOTuner] Process32FirstW failed."}));
}

ProcessSnapshot chain(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> rows) {
    ProcessSnapshot s;
    for (auto [pid, parent] : rows) s.add({pid, parent, "p"});
    return s;
}

TEST(IsDescendantOf, FollowsParentsUntilTheChainEnds) {
    const auto s = chain({{10, 1}, {11, 10}, {12, 11}, {20, 0}, {21, 99}});
    EXPECT_TRUE(IsDescendantOf(12, 10, s));
    EXPECT_TRUE(IsDescendantOf(12, 1, s));   // the parent need not be in the snapshot itself
    EXPECT_TRUE(IsDescendantOf(12, 12, s));  // a process descends from itself
    EXPECT_TRUE(IsDescendantOf(77, 77, s));
    EXPECT_FALSE(IsDescendantOf(10, 12, s));
    EXPECT_FALSE(IsDescendantOf(20, 10, s));  // parent 0 ends the chain
    EXPECT_FALSE(IsDescendantOf(21, 10, s));  // parent not in the snapshot
    EXPECT_FALSE(IsDescendantOf(0, 0, s));
    EXPECT_FALSE(IsDescendantOf(77, 10, s));
}

TEST(IsDescendantOf, ParentChainThatLoopsEndsInFalse) {
    // 30 -> 31 -> 32 -> 31 ...; 40 is its own parent.
    const auto s = chain({{30, 31}, {31, 32}, {32, 31}, {40, 40}, {50, 30}});
    EXPECT_FALSE(IsDescendantOf(30, 99, s));
    EXPECT_FALSE(IsDescendantOf(50, 99, s));
    EXPECT_FALSE(IsDescendantOf(40, 41, s));
    EXPECT_TRUE(IsDescendantOf(50, 32, s));  // an ancestor met before the loop closes
    EXPECT_TRUE(IsDescendantOf(40, 40, s));
}

TEST(IsDescendantOf, RepeatedPidUsesItsFirstEntry) {
    const auto s = chain({{60, 61}, {60, 62}});
    EXPECT_TRUE(IsDescendantOf(60, 61, s));
    EXPECT_FALSE(IsDescendantOf(60, 62, s));
}

}  // namespace
