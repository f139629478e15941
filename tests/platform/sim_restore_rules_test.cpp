// The simulated machine's rules for a process's token user and modules loaded by full
// path: it refuses where Windows refuses.

#include <gtest/gtest.h>

#include "support/machine_fixture.h"

namespace zk {
namespace {

class SimRestoreRules : public test::MachineTest {};

TEST_F(SimRestoreRules, TokenUserNeedsTheRightsAndRoom) {
    machine.addProcess(500, 1, "app.exe").userSid = "S-1-5-19";
    platform::Processes& procs = machine.processes();
    platform::Tokens& tokens = machine.tokens();
    const platform::ProcessHandle noQuery = procs.openProcess(win::PROCESS_TERMINATE, false, 500);
    EXPECT_FALSE(tokens.openProcessTokenOf(noQuery, win::TOKEN_QUERY));
    EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED);

    const platform::ProcessHandle h = procs.openProcess(win::PROCESS_QUERY_LIMITED_INFORMATION, false, 500);
    platform::TokenUserSid sid;
    sid.subAuthorityCount = 9;
    EXPECT_FALSE(tokens.getTokenUser(tokens.openProcessTokenOf(h, win::TOKEN_ADJUST_PRIVILEGES), 68, sid));
    EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED);
    const platform::TokenHandle token = tokens.openProcessTokenOf(h, win::TOKEN_QUERY);
    EXPECT_FALSE(tokens.getTokenUser(token, 27, sid));
    EXPECT_EQ(machine.lastError(), win::ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(sid.subAuthorityCount, 9) << "written only on success";
    ASSERT_TRUE(tokens.getTokenUser(token, 28, sid));
    EXPECT_EQ(sid.authority[5], 5);
    EXPECT_EQ(sid.subAuthorityCount, 1);
    EXPECT_EQ(sid.subAuthority[0], 19u);
}

TEST_F(SimRestoreRules, ModulesLoadOnlyFromTheirFolder) {
    int marker = 0;
    machine.addModuleFile(sim::SimMachine::ModuleFolder::Current, u"t.dll", {{"F", &marker}});
    platform::Modules& mods = machine.modules();
    EXPECT_EQ(mods.loadModuleFrom(platform::ModuleFolder::Host, u"t.dll"), nullptr);
    EXPECT_EQ(mods.findLoadedModule(u"t.dll"), nullptr);
    machine.addModuleFile(sim::SimMachine::ModuleFolder::Library, u"T.dll", {{"F", &marker}});
    void* m = mods.loadModuleFrom(platform::ModuleFolder::Library, u"t.DLL");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(mods.findLoadedModule(u"T.dll"), m);
    EXPECT_EQ(mods.moduleExport(m, "F"), &marker);
    EXPECT_EQ(mods.moduleExport(m, "G"), nullptr);
    EXPECT_EQ(machine.lastError(), win::ERROR_PROC_NOT_FOUND);
}

}  // namespace
}  // namespace zk
