#pragma once
// Support for the integration tests that load the real Zelkor.dll (under Wine on Linux,
// natively on Windows) and drive real helper processes.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

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

// A helper process; killed and its handle closed on destruction.
struct Child {
    DWORD pid = 0;
    HANDLE process = nullptr;
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();
};

// Starts a copy of zk_helper.exe named exeName (e.g. L"svchost.exe") in a folder of its
// own, in mode L"sleep" or L"spin"; the process is this test program's child.
std::unique_ptr<Child> startHelper(const std::wstring& exeName, const std::wstring& mode);
// The same, started through an intermediate process that exits: nobody's descendant.
std::unique_ptr<Child> startOrphanHelper(const std::wstring& exeName, const std::wstring& mode);

// The folder of the test program (where Zelkor.dll, zk_helper.exe and zelkorctl.exe are).
std::wstring binDir();

}  // namespace zkw
