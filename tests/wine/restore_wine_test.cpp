// The stateless restore in the real DLL: the steps Wine carries out, its log file, and where it
// finds the I/O tuner module (beside the host, beside the library, never in the current
// directory). Hosts here are zelkorctl.exe copies run as child processes, so each starts
// with no tuner module loaded.

#include <fstream>

#include "wine_support.h"

namespace {

std::wstring tempFolder(const wchar_t* name) {
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    const std::wstring dir = zkw::tempPath(L"zelkor-restore-" + std::wstring(name) + L"-" + pid);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

bool copyTo(const std::wstring& from, const std::wstring& to) { return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0; }

const std::wstring kLog = L"C:\\ProgramData\\Zelkor\\stateless_restore.log";

// What the restores since the last call, in any process, wrote to the log file, which is
// then removed (so the next restore starts a new one).
std::string takeLogFile() {
    const std::string all = zkw::slurp(kLog);
    DeleteFileW(kLog.c_str());
    return all;
}

const char* const kFound = "SUCCESS: IO priorities restored (Zelkor_IOTuner_Restore)";
const char* const kNotFound = "INFO: IO module not found; skipping Zelkor_IOTuner_Restore()";

TEST(RestoreUnderWine, TheStepsWineCarriesOutAndTheLogFile) {
    ZKW_ONLY_UNDER_WINE("resets priorities, the power scheme and core service start types machine-wide");
    auto restore = ZK_LOAD(Zelkor_Stateless_System_Restore);
    auto poll = ZK_LOAD(Zelkor_StatelessRestore_PollLogA);
    auto clear = ZK_LOAD(Zelkor_StatelessRestore_ClearLogs);
    ASSERT_TRUE(restore && poll && clear);
    clear();
    takeLogFile();
    const bool dnsapiLoaded = GetModuleHandleW(L"dnsapi.dll") != nullptr;
    EXPECT_EQ(restore(0, 1), 1);
    if (!dnsapiLoaded) {
        EXPECT_EQ(GetModuleHandleW(L"dnsapi.dll"), nullptr) << "the flush lets dnsapi go again";
    }
    std::vector<std::string> lines;
    char buf[512];
    while (poll(buf, sizeof buf)) lines.push_back(std::string(buf).substr(22));
    // The steps Wine can carry out; it has no GetProcessInformation, so every process
    // counts as protected.
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "SUCCESS: User processes normalized (count=0)");
    EXPECT_EQ(lines[3], "SUCCESS: Power plan restored to Balanced");
    EXPECT_EQ(lines[4].rfind("SUCCESS: Core service defaults applied (changed=", 0), 0u) << lines[4];
    EXPECT_TRUE(lines[5] == "SUCCESS: DNS cache flushed" || lines[5].rfind("WARNING: DNS flush failed", 0) == 0)
        << lines[5];
    EXPECT_TRUE(takeLogFile().ends_with("] === STATELESS RESTORE COMPLETE ===\r\n"));
}

// Wine makes no junctions or symbolic links (CreateSymbolicLinkW succeeds and does
// nothing), so the simulated machine shows those; a hard link is real here.
TEST(RestoreUnderWine, NeverWritesToAFileWithASecondName) {
    ZKW_ONLY_UNDER_WINE("resets priorities, the power scheme and core service start types machine-wide");
    auto restore = ZK_LOAD(Zelkor_Stateless_System_Restore);
    ASSERT_TRUE(restore);
    CreateDirectoryW(L"C:\\ProgramData\\Zelkor", nullptr);
    takeLogFile();
    const std::wstring victim = tempFolder(L"victim") + L"\\victim.txt";
    std::ofstream(victim.c_str()) << "keep";
    ASSERT_TRUE(CreateHardLinkW(kLog.c_str(), victim.c_str(), nullptr));
    EXPECT_EQ(restore(0, 0), 1);
    EXPECT_EQ(zkw::slurp(victim), "keep");
    takeLogFile();
}

TEST(RestoreUnderWine, TunerModuleBesideTheHostOrTheLibraryOnly) {
    ZKW_ONLY_UNDER_WINE("resets priorities, the power scheme and core service start types machine-wide");
    const std::wstring bin = zkhelper::binDir();
    const std::wstring dll = bin + L"\\Zelkor.dll";  // exports Zelkor_IOTuner_Restore: it serves as a tuner
    ASSERT_NE(zkdll::library(), nullptr) << "the suite's own copy, loaded before another of that name";

    takeLogFile();
    const std::wstring planted = tempFolder(L"planted");
    ASSERT_TRUE(copyTo(dll, planted + L"\\io_tuner.dll"));
    EXPECT_EQ(zkw::zelkorctl(L"restore", bin + L"\\zelkorctl.exe", planted), 0);
    EXPECT_NE(takeLogFile().find(kNotFound), std::string::npos);

    // The host in a folder of its own with the tuner; the library found in the current directory.
    const std::wstring host = tempFolder(L"host");
    ASSERT_TRUE(copyTo(bin + L"\\zelkorctl.exe", host + L"\\zelkorctl.exe"));
    ASSERT_TRUE(copyTo(dll, host + L"\\ZelkorIOTuner.dll"));
    EXPECT_EQ(zkw::zelkorctl(L"restore", host + L"\\zelkorctl.exe", bin), 0);
    EXPECT_NE(takeLogFile().find(kFound), std::string::npos);

    // A copy of the library in a folder of its own with the tuner, loaded by this host.
    const std::wstring lib = tempFolder(L"library");
    ASSERT_TRUE(copyTo(dll, lib + L"\\Zelkor.dll"));
    ASSERT_TRUE(copyTo(dll, lib + L"\\zelkor_iotuner.dll"));
    HMODULE copy = LoadLibraryW((lib + L"\\Zelkor.dll").c_str());
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, zkdll::library());
    auto restore = reinterpret_cast<decltype(&Zelkor_Stateless_System_Restore)>(
        reinterpret_cast<void (*)()>(GetProcAddress(copy, "Zelkor_Stateless_System_Restore")));
    ASSERT_TRUE(restore);
    restore(0, 0);
    EXPECT_NE(takeLogFile().find(kFound), std::string::npos);
    EXPECT_NE(GetModuleHandleW((lib + L"\\zelkor_iotuner.dll").c_str()), nullptr);
    FreeLibrary(copy);
}

}  // namespace
