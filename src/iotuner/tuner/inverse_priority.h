#pragma once
// Lowering background processes to low I/O priority and the idle class around a game,
// with each process's first-seen values recorded for the restore.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "iotuner/tuner/protection_order.h"

#include "iotuner/tuner/tuner_privileges.h"
#include "platform/handles.h"

namespace zk::iotuner {

// A process opened once for both lowering steps, with the error of a failed open.
struct OpenedProcess {
    platform::ProcessHandle handle;
    std::uint32_t openError = 0;
};

bool LowerIoPriority(std::uint32_t pid, std::string_view name, const OpenedProcess& process);
bool LowerCpuPriority(std::uint32_t pid, std::string_view name, const OpenedProcess& process);
// Both steps, I/O first; true when either lowered something.
bool LowerProcess(std::uint32_t pid, std::string_view name);

// The protection order for one pid over a snapshot of its own, logging a refusal; the
// pid's normalised name when it may be lowered.
std::optional<std::string> ClearedForLowering(const ProtectionRequest& r);

// The bulk pass for a game: the number of processes lowered, or -1 when rate-limited.
int ApplyInverseIo(std::uint32_t gamePid, bool aggressive, bool streamingMode, TunerExport caller);
// One process with every refusal logged: 1 when lowered, 0 otherwise.
int LowerSinglePid(std::uint32_t pid, std::uint32_t gamePid, std::uint32_t enginePid, bool aggressive,
                   bool streamingMode);

}  // namespace zk::iotuner
