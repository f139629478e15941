#pragma once
// Which processes the I/O tuner must leave alone. The rules are applied in a fixed order
// before a process is touched; the first that matches decides.

#include <cstdint>
#include <string>
#include <string_view>

#include "iotuner/tuner/process_snapshot.h"

namespace zk::iotuner {

enum class Refusal : std::uint8_t {
    None,
    SystemPid,
    GamePid,
    ZelkorPid,
    NoSnapshot,
    NotInSnapshot,
    ChildOfZelkor,
    SystemCritical,
    Whitelist,
    AntiCheat,
    StreamerProtected,
    UserImportant,
};

struct ProtectionRequest {
    std::uint32_t pid = 0;
    std::uint32_t gamePid = 0;
    std::uint32_t enginePid = 0;  // 0: no engine to protect
    bool aggressive = false;
    bool streamingMode = false;
};

// The rules on the ids alone (system pid, game, engine).
Refusal CheckIds(const ProtectionRequest& r);
// The rules on a snapshot entry of r.pid (descendant of the engine, then the names).
Refusal CheckEntry(const ProtectionRequest& r, const ProcessEntry& entry, const ProcessSnapshot& snapshot);
// Every rule after the ids: the snapshot must hold r.pid, then CheckEntry. *entry is set
// to the pid's entry when there is one.
Refusal CheckInSnapshot(const ProtectionRequest& r, const ProcessSnapshot& snapshot, const ProcessEntry** entry);

// The text logged after "[IO] pid=N" for a refusal, e.g. " SKIPPED (whitelist: dllhost)".
std::string RefusalText(Refusal refusal, std::string_view name);

}  // namespace zk::iotuner
