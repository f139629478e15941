#pragma once
// The machine's CPU load from GetSystemTimes, shared by every engine: each reading moves
// the one baseline on.

#include <cstdint>
#include <mutex>

namespace zk::softdemote {

class SystemCpuSampler {
public:
    // Percent busy since the previous reading; the last good figure when this one is
    // unusable, 0.0 on the first.
    double sample();
    void reset();

private:
    std::mutex mutex_;
    bool valid_ = false;
    std::uint64_t idle_ = 0, kernel_ = 0, user_ = 0;
    double lastGood_ = 0.0;
};

}  // namespace zk::softdemote
