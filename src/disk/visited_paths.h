#pragma once
// The directories one warmup has entered, so that a directory reached twice is scanned
// once and a runaway tree stops at a fixed size.

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_set>

namespace zk::disk {

class VisitedPathSet {
public:
    static constexpr std::size_t kCapacity = 10000;
    enum class Insert { Added, Full, Present };

    // Paths compare exactly, case included, as the enumeration built them.
    Insert insert(const std::u16string& path);
    // The set's lock, for work that must not interleave with an insert (the reset of a
    // warmup's context).
    std::mutex& mutex() { return m_; }
    void clearLocked() { paths_.clear(); }

private:
    std::mutex m_;
    std::unordered_set<std::u16string> paths_;
};

}  // namespace zk::disk
