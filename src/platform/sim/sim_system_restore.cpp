// The simulated machine's timer-resolution request, DNS cache and error texts.
#include "platform/sim/sim_system.h"

namespace zk::sim {

std::int32_t SimSystem::ntSetTimerResolution(std::uint32_t desired, bool set, std::uint32_t& current) {
    std::int32_t status;
    if (core_.failsNative(Routine::NtSetTimerResolution, Op::NtSetTimerResolution, &status)) return status;
    std::lock_guard lk(core_.m);
    current = 156250;  // the default 15.625 ms, in 100 ns units
    core_.record("NtSetTimerResolution " + std::to_string(desired) + (set ? " set" : " release"));
    return win::STATUS_SUCCESS;
}

platform::DnsFlushStep SimSystem::dnsFlushResolverCache() {
    using Step = platform::DnsFlushStep;
    if (core_.failsWin32(Op::LoadDnsApi)) return Step::LoadModule;
    if (core_.missing(Routine::DnsFlushResolverCache)) return Step::FindRoutine;
    lastError() = win::ERROR_SUCCESS;
    if (core_.failsWin32(Op::DnsFlushResolverCache)) return Step::Flush;
    std::lock_guard lk(core_.m);
    core_.record("DnsFlushResolverCache");
    return dnsFlushSucceeds ? Step::None : Step::Flush;
}

std::string SimSystem::systemMessage(std::uint32_t code) {
    std::lock_guard lk(core_.m);
    auto it = messages.find(code);
    return it == messages.end() ? std::string{} : it->second;
}

}  // namespace zk::sim
