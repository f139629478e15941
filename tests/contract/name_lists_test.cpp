// Every fixed name list the library decides by, member for member: a member deleted, added
// or misspelt fails its row. Hash sets are compared in any order, lists in their order.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "affinity/process_utils.h"
#include "boostutil/process_names.h"
#include "iotuner/tuner/process_names.h"
#include "memory/trim_exclusions.h"
#include "restore/core_services.h"
#include "restore/process_normalize.h"
#include "restore/system_resets.h"
#include "softdemote/name_sets.h"
#include "stutter/launcher_guard.h"
#include "stutter/profiler_exclusions.h"

namespace zk::test {
namespace {

using Names = std::vector<std::string>;

std::string narrow(std::string_view s) { return std::string(s); }
std::string narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}
std::string narrow(const restore::ServiceDefault& s) {
    return narrow(s.name) + " " + std::to_string(s.startType) + (s.delayed ? " delayed" : "");
}
template <class List>
Names names(const List& list) {
    Names out;
    for (const auto& name : list) out.push_back(narrow(name));
    return out;
}

// "a, b, c" -> {"a", "b", "c"}; a name may hold a blank, even a trailing one ("ea , gog").
Names split(std::string_view text) {
    Names out;
    for (std::size_t at = 0, next; at <= text.size(); at = next + 2) {
        next = std::min(text.find(", ", at), text.size());
        out.emplace_back(text.substr(at, next - at));
    }
    return out;
}

#define LIST(accessor) #accessor, names(accessor)
struct Row {
    const char* list;
    Names actual;
    const char* expected;
    bool inOrder = true;
};

TEST(NameLists, EachEqualsItsPublishedList) {
    using boostutil::nameList, boostutil::NameList;
    const Row rows[] = {
        {LIST(stutter::profilerSystemNames()), "system, idle, csrss.exe, wininit.exe, winlogon.exe, services.exe, "
         "lsass.exe, smss.exe, svchost.exe, dwm.exe, memory compression, registry"},
        {LIST(stutter::profilerCompanionNames()), "zelkorperformanceengine.exe, zelkor_performance_engine.exe, "
         "zelkorservice.exe"},
        {LIST(stutter::launcherExactNames()), "steam, steamwebhelper, epicgameslauncher, epicgames, eosoverlay, "
         "epicwebhelper, battlenet, battle.net, uplay, upc, ubisoftconnect, origin, eadesktop, eaapp, goggalaxy, "
         "galaxyclient, riotclientservices, riotclient, xboxapp, xboxgamebar"},
        {LIST(stutter::launcherContainedWords()), "battlenet, ubisoft, ea , gog, rockstar, riot, xbox, bethesda"},
        {LIST(iotuner::TunerSystemCritical()), "csrss, smss, winlogon, wininit, services, lsass, svchost, dwm, "
         "explorer, windefend, msmpeng, system", false},
        {LIST(iotuner::TunerWhitelist()), "lsaiso, fontdrvhost, sihost, taskhostw, dllhost, ctfmon, textinputhost, "
         "smartscreen, searchhost, shellexperiencehost, startmenuexperiencehost, searchindexer, widgetboard, "
         "widgetservice, useroobebroker, securityhealthsystray, wmiprvse, audiodg, amdfendrsr, atiesrxx, atieclxx, "
         "amdrsserv, amdow, zelkorperformanceengine, zelkor_performance_engine, zelkor", false},
        {LIST(iotuner::TunerStreamers()), "obs64, obs32, streamlabs, streamlabsobs, xsplitcore, xsplit, twitchstudio"
         "", false},
        {LIST(iotuner::TunerVoiceChat()), "discord, teamspeak, ts3client_win64", false},
        {LIST(iotuner::TunerUserImportant()), "audiodg, searchindexer, searchhost, shellexperiencehost, "
         "startmenuexperiencehost, textinputhost, runtimebroker", false},
        {LIST(iotuner::AntiCheatTokens()), "easyanticheat, battleye, vgk, vanguard, eosoverlay, beclient"},
        {LIST(iotuner::AntiCheatSuffixes()), "_eac_eos, _eac, _eos, -eac, -eos"},
        {LIST(affinity::ProtectedProcessNames()), "explorer.exe, csrss.exe, winlogon.exe, dwm.exe, svchost.exe, "
         "zelkorperformanceengine.exe, zelkor_performance_engine.exe, zelkor.exe"},
        {LIST(softdemote::antiCheatNames()), "vgc, vgk, battleye, easyanticheat, faceit, bedaisy", false},
        {LIST(softdemote::protectedNames()), "steam.exe, steamservice.exe, steamwebhelper.exe, epicgameslauncher.exe, "
         "riotclientservices.exe, origin.exe, goggalaxy.exe, battlenet.exe, nvcontainer.exe, nvcpl.exe, "
         "nvidia share.exe, nvidia overlay.exe, amdow.exe, amddvr.exe, amd acp, atiadlxx.exe, lghub.exe, "
         "lghub_agent.exe, icue.exe, rzsynapse.exe, razer central.exe, ghub.exe, obs64.exe, obs32.exe, "
         "streamlabs obs.exe, streamlabs.exe, discord.exe, teamspeak.exe, ts3client.exe, explorer.exe, wininit.exe, "
         "winlogon.exe, csrss.exe, services.exe, smss.exe, lsass.exe, svchost.exe, dwm.exe, spoolsv.exe, audiodg.exe, "
         "ctfmon.exe, taskmgr.exe, runtimebroker.exe, sihost.exe", false},
        {LIST(softdemote::backgroundAppNames()), "microsoft.photos.exe, hxmail.exe, yourphone.exe, onenoteim.exe, "
         "skypeapp.exe", false},
        {LIST(memory::trimExcludedNames()), "explorer.exe, wininit.exe, winlogon.exe, csrss.exe, services.exe, "
         "smss.exe, lsass.exe, svchost.exe, dwm.exe, spoolsv.exe, audiodg.exe, ctfmon.exe, taskmgr.exe, "
         "runtimebroker.exe, sihost.exe, nvcontainer.exe, steam.exe, steamservice.exe, steamwebhelper.exe, lghub.exe, "
         "lghub_agent.exe, icue.exe"},
        {LIST(memory::trimExcludedPatterns()), "vgc, vgk, battleye, easyanticheat, faceit, bedaisy"},
        {LIST(nameList(NameList::AlwaysProtected)), "dwm.exe, explorer.exe, sihost.exe, runtimebroker.exe, ctfmon.exe, "
         "startmenuexperiencehost.exe, shellexperiencehost.exe, searchhost.exe, searchapp.exe, widgetservice.exe, "
         "widgetboard.exe, textinputhost.exe, msedgewebview2.exe, msedgewebviewhost.exe, winstore.app.exe, "
         "applicationframehost.exe, microsoftstartfeedprovider.exe, zelkorperformanceengine.exe, plexaria.exe, "
         "plexaria.py, presentmon.exe, discord.exe, teamspeak.exe, teamspeak3-server.exe, ts3client_win64.exe, "
         "mumble.exe"},
        {LIST(nameList(NameList::KillCandidates)), "chrome.exe, msedge.exe, firefox.exe, brave.exe, opera.exe, "
         "opera gx.exe, vivaldi.exe, iexplore.exe, telegram.exe, whatsapp.exe, signal.exe, slack.exe, teams.exe, "
         "zoom.exe, skype.exe, messenger.exe, onedrive.exe, googledrivefs.exe, dropbox.exe, megasync.exe, box.exe, "
         "icloudservices.exe, gamebar.exe, gamebarpresencewriter.exe, xboxapp.exe, xboxgamebar.exe, nvidia share.exe, "
         "nvcontainer.exe, spotify.exe, spotifywebhelper.exe, itunes.exe, cortana.exe, yourphone.exe, "
         "phonelinkservices.exe, outlook.exe, onenote.exe, notion.exe, evernote.exe"},
        {LIST(nameList(NameList::AggressiveOnly)), "epicwebhelper.exe, eaappwebhelper.exe, uplaywebcore.exe, icue.exe, "
         "lightingservice.exe, lghub.exe, razersynapse.exe, razersynapse3.exe, asusosd.exe, jhi_service.exe"},
        {LIST(nameList(NameList::StreamingTools)), "obs64.exe, obs32.exe, obs.exe, streamlabs obs.exe, slobs.exe, "
         "xsplit.core.exe, xsplit.exe, xsplit.broadcaster.exe, twitchstudio.exe, streamelements obs.exe"},
        {LIST(nameList(NameList::ProtectedSubstrings)), "vgc, vgk, battleye, easyanticheat, faceit, bedaisy"},
        {LIST(nameList(NameList::KillSubstrings)), "epicwebhelper, overwolf, spotify, yourphone, cortana, updater, "
         "webhelper, onedrive, googledrivefs, dropbox, megasync"},
        {LIST(nameList(NameList::GamingTools)), "obs64.exe, obs32.exe, obs.exe, streamlabs obs.exe, slobs.exe, "
         "xsplit.core.exe, xsplit.exe, xsplit.broadcaster.exe, twitchstudio.exe, streamelements obs.exe, discord.exe, "
         "teamspeak.exe, teamspeak3-server.exe, ts3client_win64.exe, mumble.exe, easyanticheat.exe, eac_launcher.exe, "
         "battleye.exe, beclient.exe, vgc.exe, vgtray.exe, hwinfo64.exe, msiafterburner.exe, rtss.exe, steam.exe, "
         "steamservice.exe, steamwebhelper.exe, epicgameslauncher.exe, epicwebhelper.exe, eaapp.exe, eadesktop.exe, "
         "origin.exe, originwebhelperservice.exe, ubisoftconnect.exe, upc.exe, uplay.exe, uplaywebcore.exe, "
         "battle.net.exe, battlenet.exe, agent.exe, rockstarservice.exe, rockstar games launcher.exe, "
         "riotclientservices.exe, riotclientux.exe, leagueclient.exe, galaxyclient.exe, galaxyclientservice.exe, "
         "bethesdanetlauncher.exe, amazongames.exe, amazongamesui.exe"},
        {LIST(nameList(NameList::CriticalServices)), "bfe, mpssvc, windefend, wscsvc, dhcp, dnscache, nlasvc, "
         "lanmanworkstation, lanmanserver, rpcss, dcomlaunch, plugplay, power, eventlog, samss, profsvc, cryptsvc, "
         "keyiso, vaultsvc, storageservice, tiledatamodelsvc, audiosrv, audioendpointbuilder"},
        {LIST(restore::coreServiceDefaults()), "RpcSs 2, DcomLaunch 2, PlugPlay 2, Power 2, EventLog 2, Winmgmt 2, "
         "Dhcp 2, NlaSvc 2, Netman 3, LanmanWorkstation 2, LanmanServer 2, BFE 2, MpsSvc 2, Schedule 2, ProfSvc 2, "
         "W32Time 3, ShellHWDetection 2, Audiosrv 2, AudioEndpointBuilder 2, wuauserv 3, bits 2 delayed, cryptsvc 2, "
         "msiserver 3, trustedinstaller 3"},
        {LIST(restore::coreServicesToStart()), "RpcSs, DcomLaunch, PlugPlay, Power, EventLog, Winmgmt, BFE, MpsSvc, "
         "Dhcp, NlaSvc, LanmanWorkstation, LanmanServer, Schedule, ProfSvc, ShellHWDetection, Audiosrv, "
         "AudioEndpointBuilder, cryptsvc, msiserver, bits, wuauserv"},
        {LIST(restore::normalizeSkipNames()), "csrss.exe, smss.exe, services.exe, lsass.exe, winlogon.exe, "
         "wininit.exe, dwm.exe, svchost.exe, explorer.exe, taskmgr.exe, MsMpEng.exe, NisSrv.exe"},
        {LIST(restore::ioTunerModuleNames()), "io_tuner.dll, zelkor_io_tuner.dll, zelkor_iotuner.dll, "
         "ZelkorIOTuner.dll, Zelkor_IO_Tuner.dll"},
    };
    for (Row r : rows) {
        Names expected = split(r.expected);
        if (!r.inOrder) {
            std::sort(r.actual.begin(), r.actual.end());
            std::sort(expected.begin(), expected.end());
        }
        EXPECT_EQ(r.actual, expected) << r.list;
    }
}

}  // namespace
}  // namespace zk::test
