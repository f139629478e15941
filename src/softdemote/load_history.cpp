#include "softdemote/load_history.h"

#include <cmath>

namespace zk::softdemote {

bool LoadHistory::isSustainedLoad(double systemCpu, double adjustedCpu) {
    std::lock_guard lk(mutex_);
    values_.push_back(adjustedCpu);
    if (values_.size() > kLength) values_.pop_front();
    if (values_.size() < kMinimum) return false;
    const double count = static_cast<double>(values_.size());
    double sum = 0.0;
    for (double v : values_) sum += v;
    const double mean = sum / count;
    double squares = 0.0;
    for (double v : values_) squares += (v - mean) * (v - mean);
    const double sd = std::sqrt(squares / count);
    const double rise = values_.back() - values_.front();
    return rise >= 4.0 && ((systemCpu >= 65.0 && adjustedCpu >= 85.0 && sd >= 6.0) || (adjustedCpu >= 88.0 && sd >= 4.0));
}

}  // namespace zk::softdemote
