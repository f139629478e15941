// The stateless restore in the real DLL: its lines in order, its log file, and where it
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

// Runs `exe restore` in folder cwd and returns what it printed.
std::string runRestore(const std::wstring& exe, const std::wstring& cwd) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return {};
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\" restore";
    const BOOL started =
        CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd.c_str(), &si, &pi);
    CloseHandle(writeEnd);
    std::string out;
    if (started) {
        char buf[4096];
        DWORD n = 0;
        while (ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
        WaitForSingleObject(pi.hProcess, 60000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(readEnd);
    return out;
}

const char* const kFound = "SUCCESS: IO priorities restored (Zelkor_IOTuner_Restore)";
const char* const kNotFound = "INFO: IO module not found; skipping Zelkor_IOTuner_Restore()";

TEST(RestoreUnderWine, LinesInOrderAndTheLogFile) {
    ZKW_ONLY_UNDER_WINE("resets priorities, the power scheme and core service start types machine-wide");
    auto restore = ZK_LOAD(Zelkor_Stateless_System_Restore);
    auto poll = ZK_LOAD(Zelkor_StatelessRestore_PollLogA);
    auto clear = ZK_LOAD(Zelkor_StatelessRestore_ClearLogs);
    ASSERT_TRUE(restore && poll && clear);
    clear();
    const bool dnsapiLoaded = GetModuleHandleW(L"dnsapi.dll") != nullptr;
    EXPECT_EQ(restore(0, 1), 1);
    if (!dnsapiLoaded) {
        EXPECT_EQ(GetModuleHandleW(L"dnsapi.dll"), nullptr) << "the flush lets dnsapi go again";
    }
    std::vector<std::string> lines;
    char buf[512];
    while (poll(buf, sizeof buf)) lines.push_back(std::string(buf).substr(22));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "=== STATELESS RESTORE START ===");
    // Wine has no GetProcessInformation: every process counts as protected.
    EXPECT_EQ(lines[1], "SUCCESS: User processes normalized (count=0)");
    EXPECT_EQ(lines[2], "SUCCESS: Timer resolution release attempted (stateless)");
    EXPECT_EQ(lines[3], "SUCCESS: Power plan restored to Balanced");
    EXPECT_EQ(lines[4].rfind("SUCCESS: Core service defaults applied (changed=", 0), 0u) << lines[4];
    EXPECT_TRUE(lines[5] == "SUCCESS: DNS cache flushed" || lines[5].rfind("WARNING: DNS flush failed", 0) == 0)
        << lines[5];
    EXPECT_EQ(lines[6], kNotFound);
    EXPECT_EQ(lines[7], "=== STATELESS RESTORE COMPLETE ===");

    const std::string all = zkw::slurp(L"C:\\ProgramData\\Zelkor\\stateless_restore.log");
    ASSERT_GE(all.size(), 38u);
    EXPECT_EQ(all.substr(all.size() - 38), "] === STATELESS RESTORE COMPLETE ===\r\n");
}

// Wine makes no junctions or symbolic links (CreateSymbolicLinkW succeeds and does
// nothing), so the simulated machine shows those; a hard link is real here.
TEST(RestoreUnderWine, NeverWritesToAFileWithASecondName) {
    ZKW_ONLY_UNDER_WINE("resets priorities, the power scheme and core service start types machine-wide");
    auto restore = ZK_LOAD(Zelkor_Stateless_System_Restore);
    ASSERT_TRUE(restore);
    const std::wstring log = L"C:\\ProgramData\\Zelkor\\stateless_restore.log", aside = log + L".aside";
    CreateDirectoryW(L"C:\\ProgramData\\Zelkor", nullptr);
    MoveFileExW(log.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING);  // what earlier runs wrote
    const std::wstring victim = tempFolder(L"victim") + L"\\victim.txt";
    std::ofstream(victim.c_str()) << "keep";
    ASSERT_TRUE(CreateHardLinkW(log.c_str(), victim.c_str(), nullptr));
    EXPECT_EQ(restore(0, 0), 1);
    EXPECT_EQ(zkw::slurp(victim), "keep");
    DeleteFileW(log.c_str());
    MoveFileExW(aside.c_str(), log.c_str(), MOVEFILE_REPLACE_EXISTING);
}

TEST(RestoreUnderWine, TunerModuleBesideTheHostOrTheLibraryOnly) {
    ZKW_ONLY_UNDER_WINE("resets priorities, the power scheme and core service start types machine-wide");
    const std::wstring bin = zkhelper::binDir();
    const std::wstring dll = bin + L"\\Zelkor.dll";  // exports Zelkor_IOTuner_Restore: it serves as a tuner

    const std::wstring planted = tempFolder(L"planted");
    ASSERT_TRUE(copyTo(dll, planted + L"\\io_tuner.dll"));
    const std::string fromPlanted = runRestore(bin + L"\\zelkorctl.exe", planted);
    EXPECT_NE(fromPlanted.find(kNotFound), std::string::npos) << fromPlanted;

    // The host in a folder of its own with the tuner; the library found in the current directory.
    const std::wstring host = tempFolder(L"host");
    ASSERT_TRUE(copyTo(bin + L"\\zelkorctl.exe", host + L"\\zelkorctl.exe"));
    ASSERT_TRUE(copyTo(dll, host + L"\\ZelkorIOTuner.dll"));
    const std::string besideHost = runRestore(host + L"\\zelkorctl.exe", bin);
    EXPECT_NE(besideHost.find(kFound), std::string::npos) << besideHost;

    // A copy of the library in a folder of its own with the tuner, loaded by this host.
    const std::wstring lib = tempFolder(L"library");
    ASSERT_TRUE(copyTo(dll, lib + L"\\Zelkor.dll"));
    ASSERT_TRUE(copyTo(dll, lib + L"\\zelkor_iotuner.dll"));
    HMODULE copy = LoadLibraryW((lib + L"\\Zelkor.dll").c_str());
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, zkdll::library());
    auto restore = reinterpret_cast<decltype(&Zelkor_Stateless_System_Restore)>(
        reinterpret_cast<void (*)()>(GetProcAddress(copy, "Zelkor_Stateless_System_Restore")));
    auto poll = reinterpret_cast<decltype(&Zelkor_StatelessRestore_PollLogA)>(
        reinterpret_cast<void (*)()>(GetProcAddress(copy, "Zelkor_StatelessRestore_PollLogA")));
    ASSERT_TRUE(restore && poll);
    restore(0, 0);
    bool found = false;
    char buf[512];
    while (poll(buf, sizeof buf)) found = found || std::string(buf).find(kFound) != std::string::npos;
    EXPECT_TRUE(found);
    EXPECT_NE(GetModuleHandleW((lib + L"\\zelkor_iotuner.dll").c_str()), nullptr);
    FreeLibrary(copy);
}

}  // namespace
