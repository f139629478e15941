// The restore's log: the queue and its polling, the file, and the error texts.

#include <functional>
#include <thread>

#include "restore/restore_log.h"
#include "restore_fixture.h"

namespace zk::test {
namespace {

using restore::restoreLog;

class RestoreLogTest : public RestoreTest {};

TEST_F(RestoreLogTest, PollTakesTheOldestLineCutToTheBufferAndTheQueueKeepsTheNewest4000) {
    restoreLog().log("first line");
    restoreLog().log("second");
    restoreLog().log("third");
    char buf[16];  // a null or roomless buffer: the sweep's row
    EXPECT_EQ(Zelkor_StatelessRestore_GetQueuedLogCount(), 3u);
    EXPECT_EQ(Zelkor_StatelessRestore_PollLogA(buf, 2), 1) << "room for one character";
    EXPECT_STREQ(buf, "[");
    EXPECT_EQ(Zelkor_StatelessRestore_PollLogA(buf, 8), 1);
    EXPECT_STREQ(buf, "[2026-1");
    EXPECT_EQ(Zelkor_StatelessRestore_PollLogA(buf, sizeof buf), 1) << "the cut line is gone";
    EXPECT_STREQ(buf, "[2026-12-06 12:");
    EXPECT_EQ(Zelkor_StatelessRestore_PollLogA(buf, sizeof buf), 0);

    for (int i = 1; i <= 4001; ++i) restoreLog().log("line " + std::to_string(i));
    EXPECT_EQ(Zelkor_StatelessRestore_GetQueuedLogCount(), 4000u);
    const auto lines = drain();
    EXPECT_EQ(lines.front(), "line 2");
    EXPECT_EQ(lines.back(), "line 4001");
    restoreLog().log("again");
    Zelkor_StatelessRestore_ClearLogs();
    EXPECT_EQ(Zelkor_StatelessRestore_GetQueuedLogCount(), 0u);
}

TEST_F(RestoreLogTest, EveryLineGoesToTheFileTheDebuggerAndTheQueue) {
    machine.advanceMs(3723000);  // 13:02:03
    restoreLog().log("one");
    restoreLog().log("two");
    EXPECT_EQ(machine.fileText(kLogFile), "[2026-12-06 13:02:03] one\r\n[2026-12-06 13:02:03] two\r\n");
    EXPECT_EQ(machine.debugOutput().back(), "[2026-12-06 13:02:03] two\n");
    EXPECT_EQ(drain(), (std::vector<std::string>{"one", "two"}));

    Zelkor_StatelessRestore_SetLogCallbackA([](const char*) { FAIL() << "stored, never called"; });
    EXPECT_EQ(drain(), std::vector<std::string>{"Logging callback pointer set (compat). Host should poll logs."});
    EXPECT_EQ(machine.debugOutput().back(),
              "[ZELKOR] Zelkor_StatelessRestore_SetLogCallbackA set (compat). Use PollLogA.\n");
    EXPECT_EQ(machine.fileText(kLogFile).size(), 54u) << "the compat line is queued only";
}

// Whatever the folder or the file turns out to be, nothing is written but to a plain file
// in a plain folder; a link is reported once.
TEST_F(RestoreLogTest, WritesOnlyThroughAPlainFolderAndFile) {
    const std::u16string elsewhere = u"C:\\Elsewhere", victim = u"C:\\Elsewhere\\stateless_restore.log";
    const std::tuple<const char*, std::function<void(sim::SimMachine&)>, bool> cases[] = {
        {"folder is a junction", [&](auto& m) { m.addLink(kLogFolder, elsewhere, true); }, true},
        {"file is a symbolic link",
         [&](auto& m) { m.addDirectory(kLogFolder), m.addLink(kLogFile, victim, false); }, true},
        {"file is a junction", [&](auto& m) { m.addDirectory(kLogFolder), m.addLink(kLogFile, elsewhere, true); },
         true},
        {"folder made a junction once checked",
         [&](auto& m) {
             m.addDirectory(kLogFolder);
             m.setHook(sim::Op::NtCreateFile, [&m, elsewhere] {
                 sim::SimFsEntry& folder = *m.fsEntry(kLogFolder);
                 folder.attributes |= win::FILE_ATTRIBUTE_REPARSE_POINT;
                 folder.linkTarget = elsewhere;
             });
         },
         true},
        {"file has a second name", [](auto& m) { m.addDirectory(kLogFolder), m.addFile(kLogFile, 0).links = 2; },
         false},
        {"folder is a file", [](auto& m) { m.addFile(kLogFolder, 0); }, false},
        {"file is a folder", [](auto& m) { m.addDirectory(kLogFolder), m.addDirectory(kLogFile); }, false},
    };
    const std::string warning =
        "WARNING: Log folder or file is a reparse point; not writing C:\\ProgramData\\Zelkor\\stateless_restore.log";
    for (const auto& [what, arrange, reported] : cases) {
        sim::SimMachine m;
        sim::ScopedMachine scope(m);
        common::resetAllModules();
        m.addDirectory(u"C:\\ProgramData");
        m.addDirectory(elsewhere);
        m.addFile(victim, 0);
        arrange(m);
        restoreLog().log("one");
        restoreLog().log("two");
        EXPECT_EQ(m.fileText(kLogFile) + m.fileText(victim), "") << what;
        std::vector<std::string> expected{"one", "two"};
        if (reported) expected.insert(expected.begin(), warning);
        EXPECT_EQ(drain(), expected) << what;
        EXPECT_EQ(m.debugOutput().size(), 2u) << what << ": the debugger still gets every line";
        EXPECT_EQ(m.openHandleCount(), 0u) << what;
    }
}

TEST_F(RestoreLogTest, ErrorTextIsTheLastErrorOnEntry) {
    machine.setSystemMessage(5, "Access is denied.\r\n");
    machine.setLastError(5);
    restoreLog().logError("WARNING: x failed");  // the folder exists: its creation fails with 183 meanwhile
    machine.setLastError(0);
    restoreLog().logError("WARNING: y failed");
    machine.setLastError(0xC0000022);
    restoreLog().logError("WARNING: z failed");
    EXPECT_EQ(drain(), (std::vector<std::string>{"WARNING: x failed (GetLastError=0x00000005 Access is denied.)",
                                                 "WARNING: y failed (GetLastError=0x00000000)",
                                                 "WARNING: z failed (GetLastError=0xC0000022)"}));
}

TEST_F(RestoreLogTest, PollingWhileAnotherThreadLogs) {
    std::thread writer([] {
        for (int i = 0; i < 500; ++i) restoreLog().log("line " + std::to_string(i));
    });
    std::vector<std::string> taken;
    char buf[64];
    while (taken.size() < 500)
        if (Zelkor_StatelessRestore_PollLogA(buf, sizeof buf)) taken.emplace_back(buf + 22);
    writer.join();
    EXPECT_EQ(taken.front(), "line 0");
    EXPECT_EQ(taken.back(), "line 499");
}

}  // namespace
}  // namespace zk::test
