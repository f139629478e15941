#include "wine_support.h"

#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace zkw {

namespace {
std::mutex g_mutex;
std::vector<std::string> g_lines;
}  // namespace

bool isWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int zelkorctl(const std::wstring& args, const std::wstring& exe, const std::wstring& cwd) {
    std::wstring cmd = L"\"" + (exe.empty() ? zkhelper::binDir() + L"\\zelkorctl.exe" : exe) + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi))
        return -1;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 259);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

std::wstring tempPath(const std::wstring& name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

std::string slurp(const std::wstring& path) {
    std::ifstream f(std::filesystem::path(path), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::map<DWORD, std::string> processStates() {
    std::map<DWORD, std::string> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snap, &e); snap != INVALID_HANDLE_VALUE && more; more = Process32NextW(snap, &e)) {
        HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID);
        DWORD_PTR mask = 0, system = 0;
        if (h && GetProcessAffinityMask(h, &mask, &system))
            out[e.th32ProcessID] = std::to_string(GetPriorityClass(h)) + " " + std::to_string(mask);
        if (h) CloseHandle(h);
    }
    if (snap != INVALID_HANDLE_VALUE) CloseHandle(snap);
    return out;
}

void ZK_CALL keepLine(const char* line) {
    std::lock_guard lk(g_mutex);
    g_lines.emplace_back(line ? line : "");
}

void ZK_CALL keepWideLine(const zk_wchar* line) {
    std::string utf8;
    if (const int n = line ? WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr) : 0; n > 1) {
        utf8.resize(static_cast<size_t>(n - 1));  // without the terminating zero
        WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), n, nullptr, nullptr);
    }
    keepLine(utf8.c_str());
}

void clearLines() {
    std::lock_guard lk(g_mutex);
    g_lines.clear();
}

std::vector<std::string> keptLines() {
    std::lock_guard lk(g_mutex);
    return g_lines;
}

bool logged(const std::string& tail) {
    for (const auto& l : keptLines())
        if (l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0) return true;
    return false;
}

}  // namespace zkw

void zkdll::reportUnavailable(const char* name, DWORD loadError) {
    if (loadError)
        ADD_FAILURE() << "LoadLibraryW(Zelkor.dll) failed with error " << loadError << ": no " << name;
    else
        ADD_FAILURE() << "Zelkor.dll does not export " << name;
}
