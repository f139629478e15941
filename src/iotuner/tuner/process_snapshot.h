#pragma once
// A process snapshot in the I/O tuner's terms (normalised names), taken afresh for every
// operation, and the parent-chain test over it.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace zk::iotuner {

struct ProcessEntry {
    std::uint32_t pid = 0;
    std::uint32_t parentPid = 0;
    std::string name;  // normalised
};

class ProcessSnapshot {
public:
    void add(ProcessEntry e);
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    const std::vector<ProcessEntry>& entries() const { return entries_; }
    // The first entry with this pid, as an ordered search would find it; nullptr if none.
    const ProcessEntry* find(std::uint32_t pid) const;

private:
    std::vector<ProcessEntry> entries_;
    std::unordered_map<std::uint32_t, std::size_t> first_;  // pid -> first position
};

// Every process, in the platform's order; empty (with an error line) on failure.
ProcessSnapshot TakeProcessSnapshot();

// True when following parents from pid reaches ancestorPid (pid itself included); a
// parent chain that loops or leaves the snapshot ends in false.
bool IsDescendantOf(std::uint32_t pid, std::uint32_t ancestorPid, const ProcessSnapshot& snapshot);

}  // namespace zk::iotuner
