#include "wine_support.h"

#include <cstdio>

namespace zkw {

std::wstring binDir() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

HMODULE zelkor() {
    static HMODULE module = LoadLibraryW(L"Zelkor.dll");
    return module;
}

void* exportNamed(const char* name) {
    HMODULE m = zelkor();
    void* p = m ? reinterpret_cast<void*>(GetProcAddress(m, name)) : nullptr;
    EXPECT_NE(p, nullptr) << "Zelkor.dll does not export " << name;
    return p;
}

bool isWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

Child::~Child() {
    if (process) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

namespace {

// A copy of zk_helper.exe under the wanted name, in a folder per name.
std::wstring helperCopy(const std::wstring& exeName) {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring dir = std::wstring(tmp) + L"zelkor_tests_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    dir += L"\\" + exeName.substr(0, exeName.find_last_of(L'.'));
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring target = dir + L"\\" + exeName;
    CopyFileW((binDir() + L"\\zk_helper.exe").c_str(), target.c_str(), FALSE);
    return target;
}

// Runs a command line; returns the process information (thread handle closed).
bool run(const std::wstring& exe, const std::wstring& args, PROCESS_INFORMATION& pi) {
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    return true;
}

}  // namespace

std::unique_ptr<Child> startHelper(const std::wstring& exeName, const std::wstring& mode) {
    PROCESS_INFORMATION pi{};
    if (!run(helperCopy(exeName), mode, pi)) return nullptr;
    auto c = std::make_unique<Child>();
    c->pid = pi.dwProcessId;
    c->process = pi.hProcess;
    return c;
}

std::unique_ptr<Child> startOrphanHelper(const std::wstring& exeName, const std::wstring& mode) {
    const std::wstring target = helperCopy(exeName);
    PROCESS_INFORMATION pi{};
    if (!run(binDir() + L"\\zk_helper.exe", L"launch \"" + target + L"\" " + mode, pi)) return nullptr;
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD pid = 0;
    GetExitCodeProcess(pi.hProcess, &pid);
    CloseHandle(pi.hProcess);
    if (pid == 0 || pid == STILL_ACTIVE) return nullptr;
    auto c = std::make_unique<Child>();
    c->pid = pid;
    c->process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!c->process) return nullptr;
    return c;
}

}  // namespace zkw
