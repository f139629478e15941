#include "platform/sim/sim_power.h"

#include <cstdio>
#include <cstring>

#include "platform/power_guids.h"

namespace zk::sim {

std::string guidText(const Guid& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", unsigned{g.data1},
                  unsigned{g.data2}, unsigned{g.data3}, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                  g.data4[5], g.data4[6], g.data4[7]);
    return buf;
}

std::string SimPower::settingKey(const Guid& subgroup, const Guid& setting) {
    return guidText(subgroup) + "/" + guidText(setting);
}

SimPower::SimPower(SimCore& core) : processors(8), active(win::GUID_TYPICAL_POWER_SAVINGS), core_(core) {
    for (std::uint32_t i = 0; i < processors.size(); ++i) processors[i].number = i;
    const Guid& cpu = win::GUID_PROCESSOR_SETTINGS_SUBGROUP;
    auto defaults = [&](std::uint32_t minimum, std::uint32_t corePark) {
        return std::map<std::string, PowerValue>{
            {settingKey(cpu, win::GUID_PROCESSOR_THROTTLE_MINIMUM), {minimum, 5}},
            {settingKey(cpu, win::GUID_PROCESSOR_THROTTLE_MAXIMUM), {100, 100}},
            {settingKey(cpu, win::GUID_PROCESSOR_PERF_BOOST_MODE), {2, 1}},
            {settingKey(cpu, win::GUID_PROCESSOR_CORE_PARKING_MIN_CORES), {corePark, 10}},
        };
    };
    schemes[guidText(win::GUID_TYPICAL_POWER_SAVINGS)] = defaults(5, 10);
    schemes[guidText(win::GUID_MIN_POWER_SAVINGS)] = defaults(100, 100);
}

std::int32_t SimPower::ntPowerInformation(std::uint32_t level, const void* input, std::uint32_t, void* output,
                                          std::uint32_t outputSize) {
    std::int32_t status;
    if (core_.failsNative(Routine::NtPowerInformation, Op::NtPowerInformation, &status)) return status;
    std::lock_guard lk(core_.m);
    if (level != win::ProcessorInformation) return win::STATUS_INVALID_PARAMETER;
    // ProcessorInformation: "The lpInBuffer parameter must be NULL; otherwise the function
    // returns ERROR_INVALID_PARAMETER" (the routine's status for it).
    if (input) return win::STATUS_INVALID_PARAMETER;
    const std::size_t need = processors.size() * 6 * sizeof(std::uint32_t);
    if (!output || outputSize < need) return win::STATUS_BUFFER_TOO_SMALL;
    auto* out = static_cast<std::uint32_t*>(output);
    for (const auto& p : processors) {
        const std::uint32_t row[6] = {p.number, p.maxMhz, p.currentMhz, p.mhzLimit, p.maxIdleState, p.currentIdleState};
        std::memcpy(out, row, sizeof row);
        out += 6;
    }
    return win::STATUS_SUCCESS;
}

std::uint32_t SimPower::enterPowrprof(Routine r, Op op) {
    if (core_.hidden(r)) return win::ERROR_PROC_NOT_FOUND;
    std::uint32_t code = 0;
    return core_.enter(op, &code) ? code : win::ERROR_SUCCESS;
}

std::uint32_t SimPower::powerGetActiveScheme(std::optional<Guid>& out) {
    if (std::uint32_t e = enterPowrprof(Routine::PowerGetActiveScheme, Op::PowerGetActiveScheme)) return e;
    std::lock_guard lk(core_.m);
    out = active;
    return win::ERROR_SUCCESS;
}

std::uint32_t SimPower::powerSetActiveScheme(const Guid* scheme) {
    if (std::uint32_t e = enterPowrprof(Routine::PowerSetActiveScheme, Op::PowerSetActiveScheme)) return e;
    std::lock_guard lk(core_.m);
    // The scheme is required: Windows has no "the active one" for a null GUID here.
    if (!scheme) return win::ERROR_INVALID_PARAMETER;
    if (!schemes.count(guidText(*scheme))) return win::ERROR_FILE_NOT_FOUND;
    active = *scheme;
    core_.record("PowerSetActiveScheme " + guidText(*scheme));
    return win::ERROR_SUCCESS;
}

std::uint32_t SimPower::powerReadAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                              std::uint32_t& value) {
    if (std::uint32_t e = enterPowrprof(Routine::PowerReadACValueIndex, Op::PowerReadACValueIndex)) return e;
    std::lock_guard lk(core_.m);
    if (!scheme || !subgroup || !setting) return win::ERROR_INVALID_PARAMETER;
    auto failure = readFailures.find(guidText(*setting));
    if (failure != readFailures.end()) return failure->second;
    auto s = schemes.find(guidText(*scheme));
    if (s == schemes.end()) return win::ERROR_FILE_NOT_FOUND;
    auto v = s->second.find(settingKey(*subgroup, *setting));
    if (v == s->second.end()) return win::ERROR_FILE_NOT_FOUND;
    value = v->second.ac;
    return win::ERROR_SUCCESS;
}

std::uint32_t SimPower::writeValue(Routine r, Op op, const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                   std::uint32_t value, bool ac) {
    if (std::uint32_t e = enterPowrprof(r, op)) return e;
    std::lock_guard lk(core_.m);
    if (!scheme || !subgroup || !setting) return win::ERROR_INVALID_PARAMETER;
    auto failure = writeFailures.find(guidText(*setting));
    if (failure != writeFailures.end()) return failure->second;
    auto s = schemes.find(guidText(*scheme));
    if (s == schemes.end()) return win::ERROR_FILE_NOT_FOUND;
    PowerValue& v = s->second[settingKey(*subgroup, *setting)];
    (ac ? v.ac : v.dc) = value;
    core_.record(std::string(ac ? "PowerWriteACValueIndex " : "PowerWriteDCValueIndex ") + guidText(*scheme) + " " +
                 guidText(*setting) + " " + std::to_string(value));
    return win::ERROR_SUCCESS;
}

std::uint32_t SimPower::powerWriteAcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                               std::uint32_t value) {
    return writeValue(Routine::PowerWriteACValueIndex, Op::PowerWriteACValueIndex, scheme, subgroup, setting, value,
                      true);
}

std::uint32_t SimPower::powerWriteDcValueIndex(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                               std::uint32_t value) {
    return writeValue(Routine::PowerWriteDCValueIndex, Op::PowerWriteDCValueIndex, scheme, subgroup, setting, value,
                      false);
}

bool SimPower::getSystemPowerStatus(SystemPowerStatus& out) {
    if (core_.failsWin32(Op::GetSystemPowerStatus)) return false;
    std::lock_guard lk(core_.m);
    out = status;
    return true;
}

}  // namespace zk::sim
