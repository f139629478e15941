// trim_process_working_set: who is excluded, and the cleaning for everyone else.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory/trim_exclusions.h"
#include "memory_fixture.h"

namespace zk::test {
namespace {

using sim::Op;
using Strings = std::vector<std::string>;
using Times = std::vector<std::uint64_t>;

class TrimTest : public MemoryTest {
protected:
    std::uint32_t addImage(std::uint32_t pid, std::u16string path) {
        auto& p = machine.addProcess(pid, 4, u"x.exe");
        p.imagePath = std::move(path);
        return pid;
    }
    void expectExcluded(std::uint32_t pid) {
        const MemoryStats before = get_memory_stats();
        EXPECT_EQ(trim_process_working_set(pid), -1.0);
        const MemoryStats after = get_memory_stats();
        EXPECT_EQ(after.calls, before.calls + 1);
        EXPECT_EQ(after.codeCounts[2], before.codeCounts[2] + 1);
        EXPECT_EQ(after.lastCode, 2);
        EXPECT_EQ(after.totalFreedMb, before.totalFreedMb);
    }
};

TEST_F(TrimTest, ExcludedByNameWhateverTheCaseOrFolder) {
    expectExcluded(addImage(500, u"C:\\Windows\\System32\\SVCHOST.EXE"));
    expectExcluded(addImage(501, u"C:/Program Files/Steam/steamwebhelper.exe"));
    expectExcluded(addImage(502, u"C:\\Program Files\\Logi\\LGHUB_Agent.exe"));
    expectExcluded(addImage(503, u"C:\\Windows\\dwm.exe"));
    expectExcluded(addImage(504, u"C:\\odd\\"));  // no name at all
    // Nothing was measured, purged or opened beyond the name query.
    EXPECT_EQ(machine.callCount(Op::GlobalMemoryStatus), 0u);
    EXPECT_EQ(purgeCalls(), 0u);
    for (const auto& o : machine.opens()) EXPECT_EQ(o.access, win::PROCESS_QUERY_LIMITED_INFORMATION);
    EXPECT_EQ(get_memory_stats().calls, 5u);
}

TEST_F(TrimTest, ExcludedByPattern) {
    expectExcluded(addImage(510, u"D:\\FACEIT\\faceit_client.exe"));
    expectExcluded(addImage(511, u"C:\\Riot Vanguard\\vgc.exe"));
    expectExcluded(addImage(512, u"C:\\x\\VGKBOOT.exe"));
    expectExcluded(addImage(513, u"C:\\x\\BEService_BattlEye.exe"));
    expectExcluded(addImage(514, u"C:\\x\\EasyAntiCheat_EOS.exe"));
    expectExcluded(addImage(515, u"C:\\x\\BEDaisy.sys.exe"));
}

TEST(TrimExclusions, WholeNamesMatchExactlyPatternsAnywhere) {
    using memory::isExcludedName;
    for (std::u16string_view n :
         {u"explorer.exe", u"wininit.exe", u"winlogon.exe", u"csrss.exe", u"services.exe", u"smss.exe", u"lsass.exe",
          u"svchost.exe", u"dwm.exe", u"spoolsv.exe", u"audiodg.exe", u"ctfmon.exe", u"taskmgr.exe",
          u"runtimebroker.exe", u"sihost.exe", u"nvcontainer.exe", u"steam.exe", u"steamservice.exe",
          u"steamwebhelper.exe", u"lghub.exe", u"lghub_agent.exe", u"icue.exe", u"vgc", u"vgk", u"battleye",
          u"easyanticheat", u"faceit", u"bedaisy"})
        EXPECT_TRUE(isExcludedName(n)) << std::string(n.begin(), n.end());
    EXPECT_TRUE(isExcludedName(u"runtimebroker.exe"));
    EXPECT_TRUE(isExcludedName(u"x-vgk-y"));
    // A pattern longer than the name never matches; whole names need the whole name.
    for (std::u16string_view n : {u"explorer", u"svchost.exe.bak", u"xdwm.exe", u"vg", u"game.exe"})
        EXPECT_FALSE(isExcludedName(n)) << std::string(n.begin(), n.end());
}

TEST_F(TrimTest, OtherProcessesAreCleanedAndLeftAlone) {
    addImage(520, u"C:\\Games\\mysteam.exe");  // close to a name, not equal
    scriptBeforeAfter(1000, 1250);
    EXPECT_EQ(trim_process_working_set(520), 250.0);
    EXPECT_EQ(machine.changes(),
              (Strings{"AdjustTokenPrivileges SeProfileSingleProcessPrivilege on", "NtSetSystemInformation 80 4"}));
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
    EXPECT_EQ(purgeCalls(), 5u);
    // pid 0 is never looked up.
    for (const auto& o : machine.opens()) EXPECT_NE(o.pid, 0u);
}

TEST_F(TrimTest, FailuresAreResultsAndNotRecorded) {
    machine.failOp(Op::GlobalMemoryStatus, win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(trim_process_working_set(0), -2.0);
    // Unlike the load-gated cleaning, one failed purge is a failure here.
    machine.failOp(Op::NtSetSystemInformation, static_cast<std::uint32_t>(win::STATUS_PRIVILEGE_NOT_HELD), 1);
    EXPECT_EQ(trim_process_working_set(0), -3.0);
    machine.setHook(Op::NtSetSystemInformation,
                    [this] { machine.failOp(Op::GlobalMemoryStatus, win::ERROR_ACCESS_DENIED, 1); });
    EXPECT_EQ(trim_process_working_set(0), -4.0);
    EXPECT_TRUE(isZero(get_memory_stats()));
}

TEST_F(TrimTest, WithoutThePrivilegeThePurgeFails) {
    machine.notAllAssigned("SeProfileSingleProcessPrivilege");
    EXPECT_EQ(trim_process_working_set(0), -3.0);
    EXPECT_EQ(purgeCalls(), 0u);
    EXPECT_TRUE(machine.changes().empty());
}

}  // namespace
}  // namespace zk::test
