#pragma once
// Which programs the background cleanup ends and which it always spares, by lower-case
// executable name.

#include <span>
#include <string>
#include <string_view>

namespace zk::boostutil {

// Builds the name sets; the first export call does it once.
void loadNameSets();

// ASCII letters lower-cased; the names compared here are ASCII.
std::u16string lowerCase(std::u16string_view text);
// A letter or digit of the common scripts (Latin, Greek, Cyrillic, CJK, kana, Hangul).
bool isLetterOrDigit(char16_t c);

// Each takes a lower-case name.
bool isProtectedProcess(std::u16string_view name, bool protectGamingTools);
bool isKillCandidate(std::u16string_view name, bool aggressive);
bool isStreamingTool(std::u16string_view name);
// Core services that are never stopped; any case.
bool isCriticalService(std::u16string_view name);

// The fixed lists behind the rules above, as written.
enum class NameList {
    AlwaysProtected, ProtectedSubstrings, GamingTools,  // spared (gaming tools on request)
    KillCandidates, AggressiveOnly, KillSubstrings,    // ended (aggressive-only on request)
    StreamingTools, CriticalServices
};
std::span<const std::u16string_view> nameList(NameList list);

}  // namespace zk::boostutil
