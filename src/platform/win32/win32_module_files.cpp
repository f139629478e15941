// Other modules, loaded by full path from a known folder.
#include "platform/win32/win32_areas.h"

#include <string>

namespace zk::platform::win32 {

namespace {

// The folder of a module's file, with its trailing backslash; empty when unknown.
std::wstring folderOf(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring{} : path.substr(0, slash + 1);
}

HMODULE thisLibrary() {
    HMODULE self = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&thisLibrary)), &self))
        return nullptr;
    return self;
}

}  // namespace

void* Win32Modules::loadModuleFrom(ModuleFolder folder, const char16_t* fileName) {
    if (!fileName) return nullptr;
    std::wstring path = folderOf(folder == ModuleFolder::Host ? nullptr : thisLibrary());
    if (path.empty()) return nullptr;
    path += reinterpret_cast<const wchar_t*>(fileName);
    // The module's own imports come from its folder and the system folder only, never from
    // the current directory or PATH.
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void* Win32Modules::findLoadedModule(const char16_t* fileName) {
    if (!fileName) return nullptr;
    return GetModuleHandleW(reinterpret_cast<const wchar_t*>(fileName));
}

void* Win32Modules::moduleExport(void* module, const char* name) {
    if (!module || !name) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

}  // namespace zk::platform::win32
