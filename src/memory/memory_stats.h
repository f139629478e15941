#pragma once
// The running statistics of the memory cleanings: one record, read and written only
// under its mutex.

#include <mutex>

#include "zelkor.h"

namespace zk::memory {

// Result codes that cleanings are recorded with.
inline constexpr int kCodeCleaned = 0;
inline constexpr int kCodeExcluded = 2;

class StatsBook {
public:
    void record(int code, double amountMb);
    MemoryStats snapshot() const;
    void reset();

private:
    mutable std::mutex m_;
    MemoryStats stats_{};
};

}  // namespace zk::memory
