#include "iotuner/tuner/protection_order.h"

#include "iotuner/tuner/process_names.h"
#include "platform/win_constants.h"

namespace zk::iotuner {

Refusal CheckIds(const ProtectionRequest& r) {
    if (r.pid == 0 || r.pid == win::kSystemPid) return Refusal::SystemPid;
    if (r.pid == r.gamePid) return Refusal::GamePid;
    if (r.pid == r.enginePid) return Refusal::ZelkorPid;
    return Refusal::None;
}

Refusal CheckEntry(const ProtectionRequest& r, const ProcessEntry& entry, const ProcessSnapshot& snapshot) {
    if (r.enginePid != 0 && IsDescendantOf(r.pid, r.enginePid, snapshot)) return Refusal::ChildOfZelkor;
    const std::string& name = entry.name;
    if (TunerSystemCritical().count(name)) return Refusal::SystemCritical;
    if (TunerWhitelist().count(name)) return Refusal::Whitelist;
    if (IsAntiCheatName(name)) return Refusal::AntiCheat;
    if (r.streamingMode && (TunerStreamers().count(name) || TunerVoiceChat().count(name)))
        return Refusal::StreamerProtected;
    if (!r.aggressive && TunerUserImportant().count(name)) return Refusal::UserImportant;
    return Refusal::None;
}

Refusal CheckInSnapshot(const ProtectionRequest& r, const ProcessSnapshot& snapshot, const ProcessEntry** entry) {
    *entry = nullptr;
    if (snapshot.empty()) return Refusal::NoSnapshot;
    *entry = snapshot.find(r.pid);
    if (!*entry) return Refusal::NotInSnapshot;
    return CheckEntry(r, **entry, snapshot);
}

std::string RefusalText(Refusal refusal, std::string_view name) {
    auto named = [&](std::string_view what) {
        std::string s(" SKIPPED (");
        s.append(what).append(name).push_back(')');
        return s;
    };
    switch (refusal) {
        case Refusal::None: return {};
        case Refusal::SystemPid: return " SKIPPED (system pid)";
        case Refusal::GamePid: return " SKIPPED (game pid)";
        case Refusal::ZelkorPid: return " SKIPPED (zelkor pid)";
        case Refusal::NoSnapshot: return " SKIPPED (no process snapshot)";
        case Refusal::NotInSnapshot: return " SKIPPED (pid not found in snapshot)";
        case Refusal::ChildOfZelkor: return " SKIPPED (child of Zelkor)";
        case Refusal::SystemCritical: return named("system critical: ");
        case Refusal::Whitelist: return named("whitelist: ");
        case Refusal::AntiCheat: return named("anti-cheat: ");
        case Refusal::StreamerProtected: return named("streamer protected: ");
        case Refusal::UserImportant: return named("user-important, non-aggressive: ");
    }
    return {};
}

}  // namespace zk::iotuner
