#include "boostutil/process_names.h"

#include <algorithm>
#include <array>
#include <unordered_set>

namespace zk::boostutil {

namespace {

using NameSet = std::unordered_set<std::u16string_view>;

constexpr std::array<std::u16string_view, 26> kAlwaysProtected{
    u"dwm.exe", u"explorer.exe", u"sihost.exe", u"runtimebroker.exe", u"ctfmon.exe",
    u"startmenuexperiencehost.exe", u"shellexperiencehost.exe", u"searchhost.exe", u"searchapp.exe",
    u"widgetservice.exe", u"widgetboard.exe", u"textinputhost.exe", u"msedgewebview2.exe",
    u"msedgewebviewhost.exe", u"winstore.app.exe", u"applicationframehost.exe",
    u"microsoftstartfeedprovider.exe",
    // the host's own programs
    u"zelkorperformanceengine.exe", u"plexaria.exe", u"plexaria.py", u"presentmon.exe",
    // voice chat
    u"discord.exe", u"teamspeak.exe", u"teamspeak3-server.exe", u"ts3client_win64.exe", u"mumble.exe"};
constexpr std::array<std::u16string_view, 38> kKillCandidates{
    u"chrome.exe", u"msedge.exe", u"firefox.exe", u"brave.exe", u"opera.exe", u"opera gx.exe",
    u"vivaldi.exe", u"iexplore.exe", u"telegram.exe", u"whatsapp.exe", u"signal.exe", u"slack.exe",
    u"teams.exe", u"zoom.exe", u"skype.exe", u"messenger.exe", u"onedrive.exe", u"googledrivefs.exe",
    u"dropbox.exe", u"megasync.exe", u"box.exe", u"icloudservices.exe", u"gamebar.exe",
    u"gamebarpresencewriter.exe", u"xboxapp.exe", u"xboxgamebar.exe", u"nvidia share.exe",
    u"nvcontainer.exe", u"spotify.exe", u"spotifywebhelper.exe", u"itunes.exe", u"cortana.exe",
    u"yourphone.exe", u"phonelinkservices.exe", u"outlook.exe", u"onenote.exe", u"notion.exe",
    u"evernote.exe"};
constexpr std::array<std::u16string_view, 10> kAggressiveOnly{
    u"epicwebhelper.exe", u"eaappwebhelper.exe", u"uplaywebcore.exe", u"icue.exe", u"lightingservice.exe",
    u"lghub.exe", u"razersynapse.exe", u"razersynapse3.exe", u"asusosd.exe", u"jhi_service.exe"};
constexpr std::array<std::u16string_view, 10> kStreamingTools{
    u"obs64.exe", u"obs32.exe", u"obs.exe", u"streamlabs obs.exe", u"slobs.exe", u"xsplit.core.exe",
    u"xsplit.exe", u"xsplit.broadcaster.exe", u"twitchstudio.exe", u"streamelements obs.exe"};

// Hash sets of the lists above, built by the first export call.
struct NameSets {
    NameSet alwaysProtected{kAlwaysProtected.begin(), kAlwaysProtected.end()};
    NameSet killCandidates{kKillCandidates.begin(), kKillCandidates.end()};
    NameSet aggressiveOnly{kAggressiveOnly.begin(), kAggressiveOnly.end()};
    NameSet streamingTools{kStreamingTools.begin(), kStreamingTools.end()};
};

constexpr std::array<std::u16string_view, 6> kProtectedSubstrings{u"vgc", u"vgk", u"battleye", u"easyanticheat",
                                                                  u"faceit", u"bedaisy"};
constexpr std::array<std::u16string_view, 11> kKillSubstrings{
    u"epicwebhelper", u"overwolf", u"spotify", u"yourphone", u"cortana", u"updater",
    u"webhelper",     u"onedrive", u"googledrivefs", u"dropbox", u"megasync"};
// Spared only on request: streaming, voice chat, anti-cheat, monitoring and launchers.
constexpr std::array<std::u16string_view, 50> kGamingTools{
    u"obs64.exe", u"obs32.exe", u"obs.exe", u"streamlabs obs.exe", u"slobs.exe", u"xsplit.core.exe",
    u"xsplit.exe", u"xsplit.broadcaster.exe", u"twitchstudio.exe", u"streamelements obs.exe",
    u"discord.exe", u"teamspeak.exe", u"teamspeak3-server.exe", u"ts3client_win64.exe", u"mumble.exe",
    u"easyanticheat.exe", u"eac_launcher.exe", u"battleye.exe", u"beclient.exe", u"vgc.exe", u"vgtray.exe",
    u"hwinfo64.exe", u"msiafterburner.exe", u"rtss.exe", u"steam.exe", u"steamservice.exe",
    u"steamwebhelper.exe", u"epicgameslauncher.exe", u"epicwebhelper.exe", u"eaapp.exe", u"eadesktop.exe",
    u"origin.exe", u"originwebhelperservice.exe", u"ubisoftconnect.exe", u"upc.exe", u"uplay.exe",
    u"uplaywebcore.exe", u"battle.net.exe", u"battlenet.exe", u"agent.exe", u"rockstarservice.exe",
    u"rockstar games launcher.exe", u"riotclientservices.exe", u"riotclientux.exe", u"leagueclient.exe",
    u"galaxyclient.exe", u"galaxyclientservice.exe", u"bethesdanetlauncher.exe", u"amazongames.exe",
    u"amazongamesui.exe"};
constexpr std::array<std::u16string_view, 23> kCriticalServices{
    u"bfe",      u"mpssvc",  u"windefend", u"wscsvc",  u"dhcp",    u"dnscache",       u"nlasvc",
    u"lanmanworkstation",    u"lanmanserver",        u"rpcss",   u"dcomlaunch",     u"plugplay",
    u"power",    u"eventlog", u"samss",    u"profsvc", u"cryptsvc", u"keyiso",        u"vaultsvc",
    u"storageservice",       u"tiledatamodelsvc",    u"audiosrv", u"audioendpointbuilder"};

const NameSets& sets() {
    static const NameSets s;
    return s;
}

template <std::size_t N>
bool containsAny(std::u16string_view name, const std::array<std::u16string_view, N>& parts) {
    return std::any_of(parts.begin(), parts.end(), [&](std::u16string_view p) { return name.find(p) != name.npos; });
}

}  // namespace

std::span<const std::u16string_view> nameList(NameList list) {
    switch (list) {
        case NameList::AlwaysProtected: return kAlwaysProtected;
        case NameList::ProtectedSubstrings: return kProtectedSubstrings;
        case NameList::GamingTools: return kGamingTools;
        case NameList::KillCandidates: return kKillCandidates;
        case NameList::AggressiveOnly: return kAggressiveOnly;
        case NameList::KillSubstrings: return kKillSubstrings;
        case NameList::StreamingTools: return kStreamingTools;
        case NameList::CriticalServices: return kCriticalServices;
    }
    return {};
}

void loadNameSets() { sets(); }

std::u16string lowerCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

bool isLetterOrDigit(char16_t c) {
    if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return true;
    if (c < 0xC0) return false;
    if (c <= 0x24F) return c != 0xD7 && c != 0xF7;  // Latin-1 and Latin Extended letters
    return (c >= 0x370 && c <= 0x52F && c != 0x37E && c != 0x387)  // Greek, Cyrillic
           || (c >= 0x3041 && c <= 0x30FF && c != 0x30FB)          // kana
           || (c >= 0x4E00 && c <= 0x9FFF)                         // CJK ideographs
           || (c >= 0xAC00 && c <= 0xD7A3);                        // Hangul
}

bool isProtectedProcess(std::u16string_view name, bool protectGamingTools) {
    if (sets().alwaysProtected.count(name) || containsAny(name, kProtectedSubstrings)) return true;
    return protectGamingTools && std::find(kGamingTools.begin(), kGamingTools.end(), name) != kGamingTools.end();
}

bool isKillCandidate(std::u16string_view name, bool aggressive) {
    const NameSets& s = sets();
    if (s.killCandidates.count(name)) return true;
    if (aggressive && s.aggressiveOnly.count(name)) return true;
    return containsAny(name, kKillSubstrings);
}

bool isStreamingTool(std::u16string_view name) { return sets().streamingTools.count(name) != 0; }

bool isCriticalService(std::u16string_view name) {
    const std::u16string lower = lowerCase(name);
    return std::find(kCriticalServices.begin(), kCriticalServices.end(), lower) != kCriticalServices.end();
}

}  // namespace zk::boostutil
