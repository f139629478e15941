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
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    value = std::wcstoul(text.c_str(), &end, 10);
    return end && *end == L'\0';
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
