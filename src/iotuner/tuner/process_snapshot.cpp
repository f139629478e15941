#include "iotuner/tuner/process_snapshot.h"

#include <algorithm>

#include "iotuner/tuner/process_names.h"
#include "iotuner/tuner/tuner_log.h"
#include "platform/process_walk.h"
#include "common/utf16_to_utf8.h"

namespace zk::iotuner {

namespace {

constexpr std::size_t kNameBufferBytes = 260;

std::u16string_view exeName(const platform::ProcessEntry& e) {
    const char16_t* end = std::find(std::begin(e.exeFile), std::end(e.exeFile), u'\0');
    return {e.exeFile, static_cast<std::size_t>(end - e.exeFile)};
}

}  // namespace

void ProcessSnapshot::add(ProcessEntry e) {
    first_.emplace(e.pid, entries_.size());  // keeps the earlier position of a repeated pid
    entries_.push_back(std::move(e));
}

const ProcessEntry* ProcessSnapshot::find(std::uint32_t pid) const {
    auto it = first_.find(pid);
    return it == first_.end() ? nullptr : &entries_[it->second];
}

ProcessSnapshot TakeProcessSnapshot() {
    ProcessSnapshot out;
    char utf8[kNameBufferBytes];
    const auto walked = platform::forEachProcess([&](const platform::ProcessEntry& row) {
        const std::size_t n = common::Utf16ToUtf8(exeName(row), utf8, sizeof utf8);
        if (n == common::kUtf8DoesNotFit) return;
        out.add(ProcessEntry{row.pid, row.parentPid, NormalizeProcessName({utf8, n})});
    });
    if (walked == platform::WalkResult::SnapshotFailed) TunerLog(kError, "[IOTuner] CreateToolhelp32Snapshot failed.");
    if (walked == platform::WalkResult::FirstFailed) TunerLog(kError, "[IOTuner] Process32FirstW failed.");
    return out;
}

bool IsDescendantOf(std::uint32_t pid, std::uint32_t ancestorPid, const ProcessSnapshot& snapshot) {
    if (pid == 0) return false;
    // A chain that has not met the ancestor after more steps than there are entries must
    // have come back to an id it passed before; that is the loop, found without keeping
    // a visited set for every step.
    std::uint32_t current = pid;
    for (std::size_t steps = 0; steps <= snapshot.size(); ++steps) {
        if (current == ancestorPid) return true;
        const ProcessEntry* e = snapshot.find(current);
        if (!e) return false;
        current = e->parentPid;
        if (current == 0) return false;
    }
    return false;
}

}  // namespace zk::iotuner
