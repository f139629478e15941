#include "platform/sim/sim_system.h"

namespace zk::sim {

bool SimSystem::getSystemTimes(std::uint64_t& idle, std::uint64_t& kernel, std::uint64_t& user) {
    if (core_.failsWin32(Op::GetSystemTimes)) return false;
    std::lock_guard lk(core_.m);
    idle = idleTime;
    kernel = kernelTime;
    user = userTime;
    return true;
}

}  // namespace zk::sim
