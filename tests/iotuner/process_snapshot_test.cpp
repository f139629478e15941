// The tuner's process snapshot and the parent-chain test.

#include <gtest/gtest.h>

#include <tuple>

#include "iotuner/process_snapshot.h"
#include "iotuner_fixture.h"

namespace {

using namespace zk;
using iotuner::IsDescendantOf;
using iotuner::ProcessSnapshot;

class SnapshotTest : public test::IoTunerTest {};

TEST_F(SnapshotTest, NormalisedNamesInPlatformOrderWithoutNamesOver260Bytes) {
    machine.addProcess(500, 1000, "C:\\Games\\Foo Bar_EAC.exe");
    machine.addProcess(501, 500, u"Caf\u00e9.exe");
    machine.addProcess(502, 0, std::u16string(u"x") + char16_t(0xD800) + u".exe");  // lone surrogate
    machine.addProcess(600, 0, std::u16string(100, u'\u00e9') + u".exe");  // 200 + 4 bytes: fits
    machine.addProcess(601, 0, std::u16string(130, u'\u00e9'));             // 260 bytes: no room for the NUL
    machine.addProcess(602, 0, std::u16string(86, u'\u20ac') + u"a");      // 258 + 1 bytes: fits
    const ProcessSnapshot s = iotuner::TakeProcessSnapshot();
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::string>> rows;
    for (const auto& e : s.entries()) rows.emplace_back(e.pid, e.parentPid, e.name);
    EXPECT_EQ(rows, (decltype(rows){{1000, 4, "zelkor_tests"}, {500, 1000, "foobar"}, {501, 500, "caf"},
                                    {502, 0, "x"}, {600, 0, ""}, {602, 0, "a"}}));  // the machine's own first
    EXPECT_EQ(s.find(501), &s.entries()[2]);
    EXPECT_EQ(s.find(9), nullptr);
}

ProcessSnapshot chain(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> rows) {
    ProcessSnapshot s;
    for (auto [pid, parent] : rows) s.add({pid, parent, "p"});
    return s;
}

TEST(IsDescendantOf, FollowsParentsUntilTheChainEndsOrLoops) {
    // 10 <- 11 <- 12; 20 has no parent; 21's parent is unknown; 30 -> 31 -> 32 -> 31 loops;
    // 40 is its own parent; 60 is listed twice.
    const auto s = chain({{10, 1}, {11, 10}, {12, 11}, {20, 0}, {21, 99}, {30, 31}, {31, 32}, {32, 31}, {40, 40},
                          {50, 30}, {60, 61}, {60, 62}});
    const struct {
        std::uint32_t pid, ancestor;
        bool expected;
    } rows[] = {
        {12, 10, true}, {12, 1, true},  // the ancestor need not be in the snapshot itself
        {12, 12, true}, {77, 77, true}, {40, 40, true},  // a process descends from itself
        {10, 12, false}, {20, 10, false}, {21, 10, false}, {0, 0, false}, {77, 10, false},
        {30, 99, false}, {50, 99, false}, {40, 41, false},  // loops end in false
        {50, 32, true},                                     // an ancestor met before the loop closes
        {60, 61, true}, {60, 62, false},                    // a repeated pid uses its first entry
    };
    for (const auto& r : rows) EXPECT_EQ(IsDescendantOf(r.pid, r.ancestor, s), r.expected) << r.pid << " " << r.ancestor;
    EXPECT_TRUE(IsDescendantOf(11, 1, chain({{10, 1}, {11, 10}})));  // a chain through every entry
}

}  // namespace
