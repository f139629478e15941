#pragma once
// The adjusted load of the last 24 passes, and whether it shows a sustained rise.

#include <deque>
#include <mutex>

namespace zk::softdemote {

class LoadHistory {
public:
    static constexpr std::size_t kLength = 24;
    static constexpr std::size_t kMinimum = 6;

    // Records adjustedCpu, then: a rise of at least 4 points from the oldest to the newest
    // value, with either a high load and a spread of at least 6 points or a very high
    // adjusted load and a spread of at least 4.
    bool isSustainedLoad(double systemCpu, double adjustedCpu);

private:
    std::mutex mutex_;  // the history lock
    std::deque<double> values_;
};

}  // namespace zk::softdemote
