#include "stutter/launcher_guard.h"

#include <array>
#include <string>

namespace zk::stutter {

namespace {

constexpr std::array<std::string_view, 20> kExactNames = {
    "steam",      "steamwebhelper", "epicgameslauncher", "epicgames",          "eosoverlay",
    "epicwebhelper", "battlenet",   "battle.net",        "uplay",              "upc",
    "ubisoftconnect", "origin",     "eadesktop",         "eaapp",              "goggalaxy",
    "galaxyclient", "riotclientservices", "riotclient",  "xboxapp",            "xboxgamebar"};

// "ea " keeps its blank: it catches "EA Desktop.exe" but not every name with "ea" in it.
constexpr std::array<std::string_view, 8> kContainedWords = {"battlenet", "ubisoft", "ea ",  "gog",
                                                             "rockstar",  "riot",    "xbox", "bethesda"};

}  // namespace

std::span<const std::string_view> launcherExactNames() { return kExactNames; }
std::span<const std::string_view> launcherContainedWords() { return kContainedWords; }

bool isLauncher(std::string_view name) {
    if (name.empty()) return false;
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower.size() >= 4) {
        const auto ext = lower.rfind(".exe");
        if (ext != std::string::npos) lower.resize(ext);
    }
    for (std::string_view exact : kExactNames)
        if (lower == exact) return true;
    for (std::string_view word : kContainedWords)
        if (lower.find(word) != std::string::npos) return true;
    return false;
}

}  // namespace zk::stutter
