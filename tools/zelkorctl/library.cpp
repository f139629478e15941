#include "library.h"

#include <cwchar>
#include <mutex>
#include <string>

namespace zkctl {

namespace {
std::mutex g_print;
}

void __cdecl printNarrowLine(const char* line) {
    std::lock_guard lk(g_print);
    std::printf("  | %s\n", line ? line : "");
    std::fflush(stdout);
}

void __cdecl printWideLine(const wchar_t* line) {
    // Console code pages vary; print UTF-8, which terminals under Wine and Windows
    // Terminal both show.
    std::string utf8;
    if (line) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
        if (n > 1) {
            utf8.resize(static_cast<size_t>(n - 1));
            WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), n, nullptr, nullptr);
        }
    }
    printNarrowLine(utf8.c_str());
}

bool parseUnsigned(const std::wstring& text, unsigned long& value) {
    // Digits only: wcstoul would take "-5" as a huge number and " 5" as 5.
    if (text.empty() || text.size() > 10 || text.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
    const unsigned long long v = std::wcstoull(text.c_str(), nullptr, 10);
    if (v > 0xFFFFFFFFull) return false;
    value = static_cast<unsigned long>(v);
    return true;
}

}  // namespace zkctl

// A library that cannot be loaded is told once; each missing export every time.
void zkdll::reportUnavailable(const char* name, DWORD loadError) {
    static bool toldLoadFailure = false;
    if (loadError == 0) {
        std::fprintf(stderr, "zelkorctl: Zelkor.dll does not export %s\n", name);
    } else if (!toldLoadFailure) {
        toldLoadFailure = true;
        std::fprintf(stderr, "zelkorctl: cannot load Zelkor.dll (error %lu)\n", loadError);
    }
}
