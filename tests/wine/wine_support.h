#pragma once
// Support for the integration tests that load the real Zelkor.dll (under Wine on Linux,
// natively on Windows) and drive real helper processes.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "helper_launch.h"
#include "zelkor_exports.h"

namespace zkw {

// Zelkor.dll, loaded once by name from the tests' own folder.
HMODULE zelkor();

// An export of Zelkor.dll; fails the current test when it is missing.
void* exportNamed(const char* name);
template <typename F>
F fn(const char* name) {
    return reinterpret_cast<F>(exportNamed(name));
}

// True when running under Wine (ntdll exports wine_get_version).
bool isWine();

// Helper processes: copies of zk_helper.exe under chosen names (see helper_launch.h).
using Child = zkhelper::Child;
using zkhelper::binDir;
// A helper that is this test program's child.
inline std::unique_ptr<Child> startHelper(const std::wstring& exeName, const std::wstring& mode) {
    return zkhelper::start(exeName, mode, false);
}
// A helper started through an intermediate process that exits: nobody's descendant.
inline std::unique_ptr<Child> startOrphanHelper(const std::wstring& exeName, const std::wstring& mode) {
    return zkhelper::start(exeName, mode, true);
}

}  // namespace zkw
