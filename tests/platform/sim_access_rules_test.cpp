// The simulated machine opens processes as Microsoft documents it (protected and system
// processes, the debug privilege) and checks working-set bounds, the protection query's
// size, the processor power query's input, a token's user and modules loaded by full path.

#include <gtest/gtest.h>

#include <tuple>

#include "platform/privilege.h"
#include "support/machine_fixture.h"

namespace zk {
namespace {

using platform::ProcessHandle;

class SimAccessRules : public test::MachineTest {
protected:
    ProcessHandle open(std::uint32_t access, std::uint32_t pid) {
        return machine.processes().openProcess(access, false, pid);
    }
    platform::Processes& procs() { return machine.processes(); }
};

TEST_F(SimAccessRules, OpenProcessGrantsWhatTheDocumentationGrants) {
    constexpr std::uint32_t kProtected = 600, kCsrss = 601, kLocked = 602, kPlain = 603;
    machine.addProcess(kProtected, 1, "MsMpEng.exe").protectionLevel = sim::kProtectedLevel;
    machine.addProcess(kCsrss, 1, "csrss.exe").systemProcess = true;
    machine.addProcess(kLocked, 1, "locked.exe").deniedAccess = win::PROCESS_SET_INFORMATION;
    machine.addProcess(kPlain, 1, "plain.exe");
    // The pid, the access asked, and the error without and with the debug privilege (0: it opens).
    using Case = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>;
    const Case cases[] = {
        {0, win::PROCESS_QUERY_LIMITED_INFORMATION, 87, 87},      // the System Idle Process
        {9999, win::PROCESS_QUERY_LIMITED_INFORMATION, 87, 87},   // no such process
        {win::kSystemPid, win::PROCESS_QUERY_LIMITED_INFORMATION, 5, 5},
        {kCsrss, win::SYNCHRONIZE, 5, 5},
        {kProtected, win::PROCESS_ALL_ACCESS, 5, 5},  // each other right refused to it: below
        // Allowed to a protected process.
        {kProtected, win::PROCESS_QUERY_LIMITED_INFORMATION | win::SYNCHRONIZE | win::PROCESS_TERMINATE, 0, 0},
        {kProtected, 0x0800 | 0x2000, 0, 0},  // suspend and resume, set limited information
        // A right only the security descriptor refuses: the debug privilege grants it.
        {kLocked, win::PROCESS_SET_INFORMATION | win::PROCESS_QUERY_LIMITED_INFORMATION, 5, 0},
        {kLocked, win::PROCESS_QUERY_LIMITED_INFORMATION, 0, 0},
        {kPlain, win::PROCESS_ALL_ACCESS, 0, 0},
    };
    // Refused to a protected process, debug privilege or not: query and set information,
    // set quota, VM read, write and operation, create thread, duplicate handle, create
    // process, DELETE, READ_CONTROL, WRITE_DAC, WRITE_OWNER.
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const std::uint32_t right : {0x400u, 0x200u, 0x100u, 0x10u, 0x20u, 0x8u, 0x2u, 0x40u, 0x80u, 0x10000u, 0x20000u,
                                      0x40000u, 0x80000u})
        all.push_back({kProtected, right, 5, 5});
    for (const bool debug : {false, true}) {
        for (const auto& [pid, access, error, withDebug] : all) {
            EXPECT_EQ(open(access, pid) ? 0u : machine.lastError(), debug ? withDebug : error)
                << pid << " " << std::hex << access << " debug=" << debug;
        }
        ASSERT_TRUE(platform::enablePrivilege("SeDebugPrivilege").enabled());
    }
}

TEST_F(SimAccessRules, SizesBoundsAndInputsAreChecked) {
    machine.addProcess(500, 1, "app.exe").memory.workingSetSize = 1 << 20;
    const ProcessHandle h = open(win::PROCESS_SET_QUOTA | win::PROCESS_QUERY_LIMITED_INFORMATION, 500);
    constexpr std::uint64_t kPage = 4096, kAll = ~0ull;
    // Minimum, maximum, and whether the bounds are accepted.
    const std::tuple<std::uint64_t, std::uint64_t, bool> bounds[] = {
        {50 * kPage, 345 * kPage, true}, {13 * kPage, 13 * kPage, true}, {12 * kPage, 12 * kPage, false},
        {100 * kPage, 50 * kPage, false}, {0, 345 * kPage, false},       {kAll, kAll, true},
    };
    for (const auto& [minimum, maximum, accepted] : bounds) {
        EXPECT_EQ(procs().setProcessWorkingSetSize(h, minimum, maximum) ? 0u : machine.lastError(), accepted ? 0u : 87u)
            << minimum << "-" << maximum;
    }
    EXPECT_EQ(machine.process(500)->memory.workingSetSize, 0u) << "both -1 empties it";
    EXPECT_EQ(machine.changes().size(), 3u) << "only the accepted bounds";

    for (const std::uint32_t size : {0u, 3u, 8u, 4u}) {
        std::uint32_t level[2] = {7, 7};
        EXPECT_EQ(procs().getProcessInformation(h, win::ProcessProtectionLevelInfo, level, size), size == 4) << size;
        EXPECT_EQ(level[0], size == 4 ? 0xFFFFFFFEu : 7u) << size;
    }

    machine.setProcessors({{0, 3000, 3000, 3000, 1, 0}});
    std::uint32_t out[6] = {};
    const std::uint32_t input = 0;
    EXPECT_EQ(machine.power().ntPowerInformation(win::ProcessorInformation, &input, 4, out, sizeof out),
              win::STATUS_INVALID_PARAMETER);
    EXPECT_EQ(machine.power().ntPowerInformation(win::ProcessorInformation, nullptr, 0, out, sizeof out),
              win::STATUS_SUCCESS);
}

TEST_F(SimAccessRules, TokenUserNeedsTheRightsAndRoom) {
    machine.addProcess(500, 1, "app.exe").userSid = "S-1-5-19";
    platform::Tokens& tokens = machine.tokens();
    EXPECT_FALSE(tokens.openProcessTokenOf(open(win::PROCESS_TERMINATE, 500), win::TOKEN_QUERY));
    EXPECT_EQ(machine.lastError(), win::ERROR_ACCESS_DENIED);

    const ProcessHandle h = open(win::PROCESS_QUERY_LIMITED_INFORMATION, 500);
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

TEST_F(SimAccessRules, ModulesLoadOnlyFromTheirFolder) {
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
