// A tiny program that tests start under chosen names.
//   zk_helper sleep             idles until killed
//   zk_helper spin              burns one core until killed
//   zk_helper burn              burns every logical processor until killed
//   zk_helper hog               burns every logical processor and holds 1 GiB of memory
//   zk_helper launch EXE MODE   starts EXE MODE and exits with the new process's id,
//                               leaving it an orphan
#include <windows.h>

#include <cwchar>

namespace {

DWORD WINAPI spin(void*) {
    volatile unsigned long long x = 0;
    for (;;) x = x + 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wcscmp(argv[1], L"spin") == 0) spin(nullptr);
    if (argc >= 2 && std::wcscmp(argv[1], L"hog") == 0) {
        const SIZE_T size = SIZE_T{1} << 30;
        auto* p = static_cast<volatile char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        for (SIZE_T i = 0; p && i < size; i += 4096) p[i] = 1;  // resident, not just committed
    }
    if (argc >= 2 && (std::wcscmp(argv[1], L"burn") == 0 || std::wcscmp(argv[1], L"hog") == 0)) {
        SYSTEM_INFO si{};
        GetSystemInfo(&si);
        for (DWORD i = 1; i < si.dwNumberOfProcessors; ++i) CloseHandle(CreateThread(nullptr, 0, spin, nullptr, 0, nullptr));
        spin(nullptr);
    }
    if (argc >= 4 && std::wcscmp(argv[1], L"launch") == 0) {
        wchar_t cmd[1024];
        std::swprintf(cmd, 1024, L"\"%ls\" %ls", argv[2], argv[3]);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(argv[2], cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return 0;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return static_cast<int>(pi.dwProcessId);
    }
    for (;;) Sleep(1000);
}
