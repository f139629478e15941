#pragma once
// A walk over the Tool Help process list: one snapshot, then each row in order. Nothing is
// allocated; the row is reused.

#include <cstdint>

#include "platform/platform.h"

namespace zk::platform {

enum class WalkResult : std::uint8_t { Walked, SnapshotFailed, FirstFailed };

// Calls visit(const ProcessEntry&) for every row until the list ends.
template <typename Visit>
WalkResult forEachProcess(Visit&& visit) {
    Processes& p = processes();
    const SnapshotHandle snapshot = p.createProcessSnapshot();
    if (!snapshot) return WalkResult::SnapshotFailed;
    ProcessEntry row;
    if (!p.processFirst(snapshot, row)) return WalkResult::FirstFailed;
    do {
        visit(static_cast<const ProcessEntry&>(row));
    } while (p.processNext(snapshot, row));
    return WalkResult::Walked;
}

}  // namespace zk::platform
