// `zelkorctl demo` as a newcomer runs it: the hard recovery idles the hog, which Wine's
// scheduler ignores, and on two processors its affinity step stands aside; the risk stays
// up, the demo quarantines the hog onto the first processor, and the p99 falls. Measured
// in one real run, from the timeline the demo records.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "timeline_effect.h"
#include "timeline_reader.h"
#include "wine_support.h"

namespace {

using Handle = std::unique_ptr<void, decltype(&CloseHandle)>;

std::string slurp(const std::wstring& path) {
    std::ifstream f(std::filesystem::path(path), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Runs zelkorctl.exe with args, its output into the file `output`; its exit code, or -1
// when it could not start or had to be ended after timeoutMs.
int zelkorctl(const std::wstring& args, const std::wstring& output, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    Handle out(file, &CloseHandle);
    std::wstring cmd = L"\"" + zkhelper::binDir() + L"\\zelkorctl.exe\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out.get();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -1;
    Handle process(pi.hProcess, &CloseHandle), thread(pi.hThread, &CloseHandle);
    if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);  // its helpers end with the test's Wine prefix
        return -1;
    }
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

TEST(DemoUnderWine, TheQuarantineAtLeastHalvesTheP99) {
    ZKW_ONLY_UNDER_WINE("recovers whichever background process the profiler blames");
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::wstring csv = std::wstring(dir) + L"zk_demo.csv", output = std::wstring(dir) + L"zk_demo.txt";
    // Up to 90 s for the verdict, then at most 8 s of watching and 8 s of recording.
    const int code = zelkorctl(L"demo --csv \"" + csv + L"\" 90", output, 180000);
    const std::string said = slurp(output);
    ASSERT_EQ(code, 0) << "the demo said:\n" << said;

    zktl::Timeline timeline;
    std::string error;
    ASSERT_TRUE(zktl::readTimeline(slurp(csv), timeline, error)) << error;
    const auto row = std::find_if(timeline.rows.begin(), timeline.rows.end(),
                                  [](const zktl::Row& r) { return r.event && r.event->action == "quarantine"; });
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    if (row == timeline.rows.end() && si.dwNumberOfProcessors > 4)
        GTEST_SKIP() << "above four processors the hard recovery confined the hog itself; the demo said:\n" << said;
    ASSERT_NE(row, timeline.rows.end()) << "no quarantine row; the demo said:\n" << said;
    EXPECT_EQ(row->event->offenderName, "hog.exe");

    const zktl::Effect effect = zktl::effectAt(timeline.rows, row->elapsedS);
    ASSERT_GE(effect.before.rows, 20u) << "about 30 rows in each 3 s";
    ASSERT_GE(effect.after.rows, 20u);
    EXPECT_LE(effect.after.p99Ms, effect.before.p99Ms / 2)
        << "mean p99 " << effect.before.p99Ms << " ms before, " << effect.after.p99Ms << " ms after; the demo said:\n"
        << said;
    for (const auto& p : {csv, output}) DeleteFileW(p.c_str());
}

}  // namespace
