#pragma once
// Zelkor.dll as a host sees it: loaded by name with LoadLibraryW and its exports found
// with GetProcAddress, each typed by its own declaration in zelkor.h.
//
//   auto start = ZK_LOAD(QTM_Start);  // int (*)(void), null when it cannot be had
//
// The type comes from decltype, which does not evaluate its operand: nothing refers to
// the import stubs that zelkor.h's dllimport declarations would need, so programs that
// use the loader link without an import library, like a real host.

#include <windows.h>

#include "zelkor.h"

namespace zkdll {

// Zelkor.dll, loaded once; null when it could not be loaded.
HMODULE library();
// LoadLibraryW's error when library() is null, else 0.
DWORD loadError();

// Each program that uses the loader says how an export it cannot have shows: zelkorctl
// prints why, the integration suite fails the running test. loadError is non-zero when
// the DLL itself could not be loaded.
void reportUnavailable(const char* name, DWORD loadError);

// The export `name`, or null (after reportUnavailable) when the DLL or the export is
// missing.
FARPROC exportNamed(const char* name);

template <typename Fn>
Fn exportAs(const char* name) {
    // Through void (*)(void), the generic function pointer type that compilers accept
    // casting to any other without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(exportNamed(name)));
}

}  // namespace zkdll

// The export of Zelkor.dll named like the declaration `fn` of zelkor.h, typed as a pointer
// to that declaration: a call with the wrong arguments or result does not compile.
#define ZK_LOAD(fn) (::zkdll::exportAs<decltype(&::fn)>(#fn))
