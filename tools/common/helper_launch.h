#pragma once
// Starts copies of zk_helper.exe under chosen names (a game, a hog, a service), for the
// demo and the integration tests.

#include <windows.h>

#include <memory>
#include <string>

namespace zkhelper {

// A started helper; killed and its handle closed on destruction.
struct Child {
    DWORD pid = 0;
    HANDLE process = nullptr;
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();
};

// The folder of the running program (where zk_helper.exe and Zelkor.dll are).
std::wstring binDir();

// Starts a copy of zk_helper.exe named exeName in a folder of its own, in mode L"sleep"
// (idles), L"spin" (burns one core), L"burn" (burns every processor) or L"hog" (burns
// every processor and holds 1 GiB). With orphan, it is started through an intermediate
// process that exits, so that it is nobody's descendant, like a background program;
// otherwise it is the caller's child. Null when it could not be started.
std::unique_ptr<Child> start(const std::wstring& exeName, const std::wstring& mode, bool orphan);

}  // namespace zkhelper
