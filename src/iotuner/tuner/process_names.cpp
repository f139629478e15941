#include "iotuner/tuner/process_names.h"

#include <array>

namespace zk::iotuner {

namespace {

// Tested in this order; only the first that matches is stripped.
constexpr std::array<std::string_view, 5> kAntiCheatSuffixes = {"_eac_eos", "_eac", "_eos", "-eac",
                                                                 "-eos"};
constexpr std::array<std::string_view, 6> kAntiCheatTokens = {
    "easyanticheat", "battleye", "vgk", "vanguard", "eosoverlay", "beclient"};

// The C locale's tolower and isalnum, without depending on the process's locale.
constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool keptByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

}  // namespace

std::span<const std::string_view> AntiCheatTokens() { return kAntiCheatTokens; }
std::span<const std::string_view> AntiCheatSuffixes() { return kAntiCheatSuffixes; }

std::string NormalizeProcessName(std::string_view text) {
    if (const auto slash = text.find_last_of("\\/"); slash != std::string_view::npos)
        text.remove_prefix(slash + 1);
    std::string s(text);
    for (char& c : s) c = lowerAscii(c);
    if (s.size() > 4 && s.ends_with(".exe")) s.resize(s.size() - 4);
    for (std::string_view suffix : kAntiCheatSuffixes) {
        if (s.ends_with(suffix)) {
            s.resize(s.size() - suffix.size());
            break;
        }
    }
    std::erase_if(s, [](char c) { return !keptByte(c); });
    return s;
}

const NameSet& TunerSystemCritical() {
    static const NameSet* s = new NameSet{"csrss",    "smss",    "winlogon", "wininit",
                                          "services", "lsass",   "svchost",  "dwm",
                                          "explorer", "windefend", "msmpeng", "system"};
    return *s;
}

const NameSet& TunerWhitelist() {
    static const NameSet* s = new NameSet{"lsaiso",
                                          "fontdrvhost",
                                          "sihost",
                                          "taskhostw",
                                          "dllhost",
                                          "ctfmon",
                                          "textinputhost",
                                          "smartscreen",
                                          "searchhost",
                                          "shellexperiencehost",
                                          "startmenuexperiencehost",
                                          "searchindexer",
                                          "widgetboard",
                                          "widgetservice",
                                          "useroobebroker",
                                          "securityhealthsystray",
                                          "wmiprvse",
                                          "audiodg",
                                          "amdfendrsr",
                                          "atiesrxx",
                                          "atieclxx",
                                          "amdrsserv",
                                          "amdow",
                                          "zelkorperformanceengine",
                                          "zelkor_performance_engine",
                                          "zelkor"};
    return *s;
}

const NameSet& TunerStreamers() {
    static const NameSet* s = new NameSet{"obs64",    "obs32",       "streamlabs", "streamlabsobs",
                                          "xsplitcore", "xsplit", "twitchstudio"};
    return *s;
}

const NameSet& TunerVoiceChat() {
    static const NameSet* s = new NameSet{"discord", "teamspeak", "ts3client_win64"};
    return *s;
}

const NameSet& TunerUserImportant() {
    static const NameSet* s = new NameSet{"audiodg",       "searchindexer",         "searchhost",
                                          "shellexperiencehost", "startmenuexperiencehost",
                                          "textinputhost", "runtimebroker"};
    return *s;
}

bool IsAntiCheatName(std::string_view name) {
    for (std::string_view token : kAntiCheatTokens)
        if (name.find(token) != std::string_view::npos) return true;
    return false;
}

}  // namespace zk::iotuner
