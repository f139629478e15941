#include "wine_support.h"

namespace zkw {

HMODULE zelkor() { return zkdll::library(); }

void* exportNamed(const char* name) { return reinterpret_cast<void*>(zkdll::exportNamed(name)); }

bool isWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace zkw

void zkdll::reportUnavailable(const char* name, DWORD loadError) {
    if (loadError)
        ADD_FAILURE() << "LoadLibraryW(Zelkor.dll) failed with error " << loadError << ": no " << name;
    else
        ADD_FAILURE() << "Zelkor.dll does not export " << name;
}
