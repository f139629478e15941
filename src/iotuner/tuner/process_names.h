#pragma once
// The I/O tuner's view of process names: one normalised form, the fixed name sets that
// protect processes, and the anti-cheat test. Free of any platform call, so that the
// normalisation can be fuzzed on its own.

#include <span>
#include <string>
#include <string_view>
#include <unordered_set>

namespace zk::iotuner {

using NameSet = std::unordered_set<std::string>;

// Base name, lower case, without ".exe" and one anti-cheat suffix, and with every byte
// other than a letter, digit, '_' or '-' dropped: "C:\Games\Foo Bar_EAC.exe" -> "foobar".
std::string NormalizeProcessName(std::string_view text);

const NameSet& TunerSystemCritical();
const NameSet& TunerWhitelist();
const NameSet& TunerStreamers();
const NameSet& TunerVoiceChat();
const NameSet& TunerUserImportant();

// True when a known anti-cheat token occurs anywhere in a normalised name.
bool IsAntiCheatName(std::string_view name);
// The tokens it looks for, and the suffixes the normalisation strips (first match only).
std::span<const std::string_view> AntiCheatTokens();
std::span<const std::string_view> AntiCheatSuffixes();

}  // namespace zk::iotuner
