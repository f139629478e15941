// trim_process_working_set: who is excluded, and the cleaning for everyone else.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory/trim_exclusions.h"
#include "memory_fixture.h"

namespace zk::test {
namespace {

using sim::Op;
using Times = std::vector<std::uint64_t>;

class TrimTest : public MemoryTest {
protected:
    std::uint32_t addImage(std::uint32_t pid, std::u16string path) {
        machine.addProcess(pid, 4, u"x.exe").imagePath = std::move(path);
        return pid;
    }
};

TEST_F(TrimTest, ExcludedByNameOrPatternWhateverTheCaseOrFolder) {
    std::uint32_t pid = 500;
    for (const char16_t* path : {u"C:\\Windows\\System32\\SVCHOST.EXE", u"C:/Program Files/Steam/steamwebhelper.exe",
                                 u"C:\\odd\\" /* no name at all */, u"D:\\FACEIT\\faceit_client.exe",
                                 u"C:\\x\\BEService_BattlEye.exe"}) {
        EXPECT_EQ(trim_process_working_set(addImage(pid, path)), -1.0) << pid;
        EXPECT_EQ(get_memory_stats().lastCode, 2);
        ++pid;
    }
    const MemoryStats s = get_memory_stats();
    EXPECT_EQ(s.calls, 5u);
    EXPECT_EQ(s.codeCounts[2], 5);
    EXPECT_EQ(s.totalFreedMb, 0.0);
    // Nothing was measured or purged, and nothing opened beyond the name query.
    EXPECT_EQ(machine.nowNs(), 0u);
    EXPECT_TRUE(machine.changes().empty());
    for (const auto& o : machine.opens()) EXPECT_EQ(o.access, win::PROCESS_QUERY_LIMITED_INFORMATION);
}

TEST(TrimExclusions, WholeNamesMatchExactlyPatternsAnywhere) {
    using memory::isExcludedName;
    for (std::u16string_view n : {u"explorer.exe", u"audiodg.exe", u"nvcontainer.exe", u"icue.exe", u"vgk",
                                  u"x-vgk-y", u"bedaisy.sys", u""})
        EXPECT_TRUE(isExcludedName(n)) << std::string(n.begin(), n.end());
    // A pattern longer than the name never matches; whole names need the whole name.
    for (std::u16string_view n : {u"explorer", u"svchost.exe.bak", u"xdwm.exe", u"vg", u"game.exe", u"steam"})
        EXPECT_FALSE(isExcludedName(n)) << std::string(n.begin(), n.end());
}

TEST_F(TrimTest, OtherProcessesAreCleaned) {
    addImage(520, u"C:\\Games\\mysteam.exe");  // close to a name, not equal
    scriptBeforeAfter(1000, 1250);
    EXPECT_EQ(trim_process_working_set(520), 250.0);
    EXPECT_EQ(machine.changes(), (std::vector<std::string>{kPrivilegeOn, kPurge}));
    // Five readings, the purge, 100 ms, five readings.
    EXPECT_EQ(readingsAt(), (Times{0, 50, 60, 70, 80, 180, 230, 240, 250, 260}));
    EXPECT_EQ(purgesAt(), (Times{80}));
    const MemoryStats s = get_memory_stats();
    EXPECT_EQ(s.calls, 1u);
    EXPECT_EQ(s.codeCounts[0], 1);
    EXPECT_EQ(s.totalFreedMb, 250.0);
}

TEST_F(TrimTest, UnreadableNamesAreNotExcluded) {
    // Unknown pid (also a process gone), pid 0 and a host's negative pid, a process that
    // refuses the query, one whose image name cannot be read: all cleaned.
    addImage(530, u"C:\\Windows\\lsass.exe");
    machine.process(530)->deniedAccess = win::PROCESS_QUERY_LIMITED_INFORMATION;
    addImage(531, u"C:\\Windows\\csrss.exe");
    machine.failOp(Op::QueryFullProcessImageName, win::ERROR_ACCESS_DENIED);
    for (std::uint32_t pid : {9999u, 0u, static_cast<std::uint32_t>(-1), 530u, 531u})
        EXPECT_EQ(trim_process_working_set(pid), 0.0) << pid;
    EXPECT_EQ(get_memory_stats().codeCounts[0], 5);
    for (const auto& o : machine.opens()) EXPECT_NE(o.pid, 0u);  // pid 0 is never looked up
}

TEST_F(TrimTest, FailuresAreResultsAndNotRecorded) {
    machine.failOp(Op::GlobalMemoryStatus, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(trim_process_working_set(0), -2.0);
    // Unlike the load-gated cleaning, one failed purge is a failure here.
    machine.failOp(Op::NtSetSystemInformation, static_cast<std::uint32_t>(win::STATUS_PRIVILEGE_NOT_HELD), 1);
    EXPECT_EQ(trim_process_working_set(0), -3.0);
    EXPECT_TRUE(isZero(get_memory_stats()));
}

}  // namespace
}  // namespace zk::test
