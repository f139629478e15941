#include "zelkor_exports.h"

namespace zkdll {

namespace {

struct Loaded {
    HMODULE module = nullptr;
    DWORD error = 0;
};

const Loaded& loaded() {
    static const Loaded l = [] {
        Loaded r;
        r.module = LoadLibraryW(L"Zelkor.dll");
        if (!r.module) r.error = GetLastError() ? GetLastError() : ERROR_MOD_NOT_FOUND;
        return r;
    }();
    return l;
}

}  // namespace

HMODULE library() { return loaded().module; }

DWORD loadError() { return loaded().error; }

FARPROC exportNamed(const char* name) {
    const Loaded& l = loaded();
    FARPROC p = l.module ? GetProcAddress(l.module, name) : nullptr;
    if (!p) reportUnavailable(name, l.error);
    return p;
}

}  // namespace zkdll
