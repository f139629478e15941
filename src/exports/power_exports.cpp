// The processor boost's and the power API's exports.

#include <cstring>

#include "power/driverless.h"
#include "power/power_api.h"
#include "zelkor.h"

namespace pw = zk::power;
using zk::platform::Guid;

namespace {

static_assert(sizeof(ZkGuid) == sizeof(Guid), "ZkGuid is a GUID");

// The caller's plan, copied; null stays null (the active scheme).
const Guid* plan(const ZkGuid* in, Guid& copy) {
    if (!in) return nullptr;
    std::memcpy(static_cast<void*>(&copy), in, sizeof copy);
    return &copy;
}

}  // namespace

extern "C" {

ZK_API void ZK_CALL SetDriverlessLogCallback(DriverlessLogCallback cb) { pw::driverless().log.setCallback(cb); }
// From the boost's own log callback, whose thread holds the boost lock, a boost or a
// cleanup cannot run: it returns at once and does nothing.
ZK_API void ZK_CALL Zelkor_Driverless_Apply(const char* tier, int32_t inGame) {
    if (!pw::driverless().log.callingBack()) pw::driverless().apply(tier, inGame != 0);
}
ZK_API void ZK_CALL Zelkor_Driverless_Cleanup(void) {
    if (!pw::driverless().log.callingBack()) pw::driverless().cleanup();
}
ZK_API uint32_t ZK_CALL Zelkor_Driverless_GetMode(void) { return pw::driverless().mode(); }

ZK_API int32_t ZK_CALL Zelkor_Power_GetActivePlan(ZkGuid* out) {
    if (!out) return 0;
    Guid g;
    if (!pw::getActivePlan(&g)) return 0;
    std::memcpy(out, &g, sizeof g);
    return 1;
}
ZK_API uint32_t ZK_CALL Zelkor_Power_GetLastError(void) { return pw::getLastError(); }
ZK_API uint32_t ZK_CALL Zelkor_Power_IsElevated(void) { return pw::isElevated(); }
ZK_API int32_t ZK_CALL Zelkor_Power_SetCpuThrottle(const ZkGuid* planGuid, uint32_t minPercent, int32_t maxPercent) {
    Guid copy;
    return pw::setCpuThrottle(plan(planGuid, copy), minPercent, maxPercent);
}
ZK_API int32_t ZK_CALL Zelkor_Power_SetHighPerformance(void) { return pw::setHighPerformance(); }
ZK_API int32_t ZK_CALL Zelkor_Power_SetPcieAspmDisabled(const ZkGuid* planGuid) {
    Guid copy;
    return pw::setPcieAspmDisabled(plan(planGuid, copy));
}
ZK_API int32_t ZK_CALL Zelkor_Power_SetWifiMaxPerf(const ZkGuid* planGuid) {
    Guid copy;
    return pw::setWifiMaxPerf(plan(planGuid, copy));
}

}  // extern "C"
