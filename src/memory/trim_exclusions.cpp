#include "memory/trim_exclusions.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <string>

#include "platform/platform.h"

namespace zk::memory {

namespace {

constexpr std::array<std::u16string_view, 22> kExcludedNames = {
    u"explorer.exe",      u"wininit.exe",      u"winlogon.exe",       u"csrss.exe",
    u"services.exe",      u"smss.exe",         u"lsass.exe",          u"svchost.exe",
    u"dwm.exe",           u"spoolsv.exe",      u"audiodg.exe",        u"ctfmon.exe",
    u"taskmgr.exe",       u"runtimebroker.exe", u"sihost.exe",        u"nvcontainer.exe",
    u"steam.exe",         u"steamservice.exe", u"steamwebhelper.exe", u"lghub.exe",
    u"lghub_agent.exe",   u"icue.exe"};

constexpr std::array<std::u16string_view, 6> kExcludedPatterns = {
    u"vgc", u"vgk", u"battleye", u"easyanticheat", u"faceit", u"bedaisy"};

std::u16string lowerFileName(std::u16string_view path) {
    const std::size_t slash = path.find_last_of(u"\\/");
    if (slash != std::u16string_view::npos) path.remove_prefix(slash + 1);
    std::u16string name(path);
    for (char16_t& c : name)
        c = static_cast<char16_t>(std::towlower(static_cast<std::wint_t>(c)));
    return name;
}

}  // namespace

std::span<const std::u16string_view> trimExcludedNames() { return kExcludedNames; }
std::span<const std::u16string_view> trimExcludedPatterns() { return kExcludedPatterns; }

bool isExcludedName(std::u16string_view lowerName) {
    if (lowerName.empty()) return true;
    if (std::find(kExcludedNames.begin(), kExcludedNames.end(), lowerName) != kExcludedNames.end())
        return true;
    return std::any_of(kExcludedPatterns.begin(), kExcludedPatterns.end(),
                       [&](std::u16string_view p) { return lowerName.find(p) != std::u16string_view::npos; });
}

bool isExcludedProcess(std::uint32_t pid) {
    auto& os = platform::processes();
    const platform::ProcessHandle process = os.openProcess(win::PROCESS_QUERY_LIMITED_INFORMATION, false, pid);
    // The image query below fails on a null handle too; this says so first.
    if (!process) return false;
    std::u16string path;
    // The whole path, however deep: a name past 260 characters is still that process's name.
    if (!os.queryFullProcessImageName(process, path)) return false;
    return isExcludedName(lowerFileName(path));
}

}  // namespace zk::memory
