#include "helper_launch.h"

namespace zkhelper {

Child::~Child() {
    if (process) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

std::wstring binDir() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

namespace {

// A copy of zk_helper.exe under the wanted name, in a folder per name and run.
std::wstring helperCopy(const std::wstring& exeName) {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring dir = std::wstring(tmp) + L"zelkor_helpers_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    dir += L"\\" + exeName.substr(0, exeName.find_last_of(L'.'));
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring target = dir + L"\\" + exeName;
    CopyFileW((binDir() + L"\\zk_helper.exe").c_str(), target.c_str(), FALSE);
    return target;
}

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

std::unique_ptr<Child> start(const std::wstring& exeName, const std::wstring& mode, bool orphan) {
    const std::wstring target = helperCopy(exeName);
    PROCESS_INFORMATION pi{};
    auto c = std::make_unique<Child>();
    if (!orphan) {
        if (!run(target, mode, pi)) return nullptr;
        c->pid = pi.dwProcessId;
        c->process = pi.hProcess;
        return c;
    }
    // zk_helper launch TARGET MODE exits with the new process's id.
    if (!run(binDir() + L"\\zk_helper.exe", L"launch \"" + target + L"\" " + mode, pi)) return nullptr;
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD pid = 0;
    GetExitCodeProcess(pi.hProcess, &pid);
    CloseHandle(pi.hProcess);
    if (pid == 0 || pid == STILL_ACTIVE) return nullptr;
    c->pid = pid;
    c->process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!c->process) return nullptr;
    return c;
}

}  // namespace zkhelper
