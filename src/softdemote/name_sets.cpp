#include "softdemote/name_sets.h"

namespace zk::softdemote {

namespace {

const NameSet kAntiCheat{"vgc", "vgk", "battleye", "easyanticheat", "faceit", "bedaisy"};
const NameSet kLaunchers{"steam.exe",   "steamservice.exe", "steamwebhelper.exe", "epicgameslauncher.exe",
                         "riotclientservices.exe", "origin.exe", "goggalaxy.exe", "battlenet.exe"};
// "amd acp" carries no ".exe": it is kept as the tool names itself.
const NameSet kGpuTools{"nvcontainer.exe", "nvcpl.exe", "nvidia share.exe", "nvidia overlay.exe",
                        "amdow.exe",       "amddvr.exe", "amd acp",         "atiadlxx.exe"};
const NameSet kPeripheralTools{"lghub.exe",   "lghub_agent.exe",   "icue.exe",
                               "rzsynapse.exe", "razer central.exe", "ghub.exe"};
const NameSet kStreaming{"obs64.exe",    "obs32.exe",     "streamlabs obs.exe", "streamlabs.exe",
                         "discord.exe", "teamspeak.exe", "ts3client.exe"};
const NameSet kSystemProcesses{"explorer.exe", "wininit.exe", "winlogon.exe",  "csrss.exe",
                               "services.exe", "smss.exe",    "lsass.exe",     "svchost.exe",
                               "dwm.exe",      "spoolsv.exe", "audiodg.exe",   "ctfmon.exe",
                               "taskmgr.exe",  "runtimebroker.exe", "sihost.exe"};
const NameSet kBackgroundApps{"microsoft.photos.exe", "hxmail.exe", "yourphone.exe", "onenoteim.exe",
                              "skypeapp.exe"};

NameSet unionOfProtected() {
    NameSet all;
    for (const NameSet* s : {&kLaunchers, &kGpuTools, &kPeripheralTools, &kStreaming, &kSystemProcesses})
        all.insert(s->begin(), s->end());
    return all;
}

const NameSet kProtected = unionOfProtected();

}  // namespace

const NameSet& antiCheatNames() { return kAntiCheat; }
const NameSet& protectedNames() { return kProtected; }
const NameSet& backgroundAppNames() { return kBackgroundApps; }

}  // namespace zk::softdemote
