#pragma once
// Support for the integration tests that load the real Zelkor.dll (under Wine on Linux,
// natively on Windows) and drive real helper processes. Exports are had with ZK_LOAD
// (zelkor_exports.h); one that is missing fails the running test.

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "helper_launch.h"
#include "zelkor_exports.h"

namespace zkw {

constexpr DWORD kIdle = IDLE_PRIORITY_CLASS;
constexpr DWORD kBelowNormal = BELOW_NORMAL_PRIORITY_CLASS;
constexpr DWORD kNormal = NORMAL_PRIORITY_CLASS;

// True when running under Wine (ntdll exports wine_get_version).
bool isWine();

// Runs zelkorctl.exe (or the program at exe) with args in folder cwd (this program's when
// empty), output discarded; its exit code, -1 when it cannot start, 259 when it runs for
// more than a minute (it is then ended).
int zelkorctl(const std::wstring& args, const std::wstring& exe = {}, const std::wstring& cwd = {});

// name below the temporary folder; a file's whole contents ("" when it cannot be read).
std::wstring tempPath(const std::wstring& name);
std::string slurp(const std::wstring& path);

// Every process this program may read, by pid: its priority class and affinity mask.
std::map<DWORD, std::string> processStates();

// Helper processes: copies of zk_helper.exe under chosen names (see helper_launch.h).
using Child = zkhelper::Child;
// A helper that is this test program's child.
inline std::unique_ptr<Child> startHelper(const std::wstring& exeName, const std::wstring& mode) {
    return zkhelper::start(exeName, mode, false);
}
// A helper started through an intermediate process that exits: nobody's descendant.
inline std::unique_ptr<Child> startOrphanHelper(const std::wstring& exeName, const std::wstring& mode) {
    return zkhelper::start(exeName, mode, true);
}

// Log callbacks that keep the DLL's lines, from any thread, until clearLines(); wide
// lines are kept as UTF-8.
void ZK_CALL keepLine(const char* line);
void ZK_CALL keepWideLine(const zk_wchar* line);
void clearLines();
std::vector<std::string> keptLines();
// True when a kept line ends with tail (the I/O tuner's lines start with a time stamp).
bool logged(const std::string& tail);

}  // namespace zkw

// Tests that change the machine beyond their own helper processes run only under Wine,
// whose machine is the build tree's own prefix; elsewhere they skip, saying why.
#define ZKW_ONLY_UNDER_WINE(what_it_changes) \
    if (!::zkw::isWine()) GTEST_SKIP() << "runs only under Wine: it " what_it_changes
