#pragma once
// Zelkor.dll as a host sees it: loaded by name, exports resolved with GetProcAddress.

#include <windows.h>

#include <cstdio>
#include <string>

namespace zkctl {

// Loads Zelkor.dll (once); prints why and returns null when it cannot.
HMODULE library();

// An export by name; prints a message and returns null when missing.
void* exportNamed(const char* name);
template <typename F>
F fn(const char* name) {
    return reinterpret_cast<F>(exportNamed(name));
}

// Log callbacks that print the library's lines to the console, one per line.
void __cdecl printNarrowLine(const char* line);
void __cdecl printWideLine(const wchar_t* line);

// Parses a decimal argument; false when it is not a number.
bool parseUnsigned(const std::wstring& text, unsigned long& value);

}  // namespace zkctl
