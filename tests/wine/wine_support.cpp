#include "wine_support.h"

namespace zkw {

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

}  // namespace zkw
