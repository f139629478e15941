#include "softdemote/system_cpu_sampler.h"

#include "platform/platform.h"

namespace zk::softdemote {

namespace {
// Ten minutes of all processors' time at 100 ns: larger gaps say nothing about now.
constexpr std::uint64_t kMaxTotal = 600'000'000'000ull;
}  // namespace

double SystemCpuSampler::sample() {
    std::lock_guard lk(mutex_);
    std::uint64_t idle = 0, kernel = 0, user = 0;
    if (!platform::system().getSystemTimes(idle, kernel, user)) return lastGood_;
    const bool first = !valid_;
    // Kernel time includes idle time. A counter that went back wraps past the limit.
    const std::uint64_t total = (kernel + user) - (kernel_ + user_);
    const double idleDelta = static_cast<double>(idle) - static_cast<double>(idle_);
    valid_ = true;
    idle_ = idle;
    kernel_ = kernel;
    user_ = user;
    if (first) return 0.0;
    if (total == 0 || total > kMaxTotal) return lastGood_;
    const double busy = (static_cast<double>(total) - idleDelta) * 100.0 / static_cast<double>(total);
    if (busy >= 0.0 && busy <= 100.0) lastGood_ = busy;
    return lastGood_;
}

void SystemCpuSampler::reset() {
    std::lock_guard lk(mutex_);
    valid_ = false;
    idle_ = kernel_ = user_ = 0;
    lastGood_ = 0.0;
}

}  // namespace zk::softdemote
