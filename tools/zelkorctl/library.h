#pragma once
// What every subcommand shares. Exports are had with ZK_LOAD (zelkor_exports.h), which
// prints why when Zelkor.dll cannot be loaded or lacks one, and returns null.

#include <windows.h>

#include <cstdio>
#include <string>

#include "zelkor_exports.h"

namespace zkctl {

// Log callbacks that print the library's lines to the console, one per line.
void __cdecl printNarrowLine(const char* line);
void __cdecl printWideLine(const wchar_t* line);

// Parses a decimal argument; false when it is not a number.
bool parseUnsigned(const std::wstring& text, unsigned long& value);

}  // namespace zkctl
