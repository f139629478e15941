// What differs between two records of the machine, in words a person reads.
#include <cstdio>

#include "selftest_snapshot.h"

namespace zkctl::selftest {

namespace {

std::string className(unsigned long long c) {
    const char* name = c == IDLE_PRIORITY_CLASS           ? "idle"
                       : c == BELOW_NORMAL_PRIORITY_CLASS ? "below normal"
                       : c == NORMAL_PRIORITY_CLASS       ? "normal"
                       : c == ABOVE_NORMAL_PRIORITY_CLASS ? "above normal"
                       : c == HIGH_PRIORITY_CLASS         ? "high"
                       : c == REALTIME_PRIORITY_CLASS     ? "realtime"
                                                          : "";
    return *name ? std::string(name) + " (" + hex(c) + ")" : hex(c);
}

std::string stateName(DWORD s) {
    static const char* const names[] = {"?", "stopped", "start pending", "stop pending", "running",
                                        "continue pending", "pause pending", "paused"};
    return s < 8 ? names[s] : std::to_string(s);
}

std::string startTypeName(DWORD t) {
    static const char* const names[] = {"boot", "system", "automatic", "on demand", "disabled"};
    return t < 5 ? std::string(names[t]) + " (" + std::to_string(t) + ")" : std::to_string(t);
}

}  // namespace

std::string hex(unsigned long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", v);
    return buf;
}

std::string guidText(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

std::vector<Difference> compare(const MachineSnapshot& before, const MachineSnapshot& after,
                                const std::set<DWORD>& ignored) {
    std::vector<Difference> out;
    auto add = [&](std::string name, std::string was, std::string now, Subject s, unsigned long long value,
                   std::wstring service = {}) {
        out.push_back({std::move(name), std::move(was), std::move(now), s, std::move(service), value});
    };
    for (const auto& [key, b] : before.processes) {
        const auto found = after.processes.find(key);
        if (found == after.processes.end() || ignored.count(key.first)) continue;
        const ProcessRecord& a = found->second;
        const std::string who = b.name + " (pid " + std::to_string(key.first) + ")";
        if (a.priorityClass != b.priorityClass)
            add(who + " priority class", className(b.priorityClass), className(a.priorityClass), Subject::PriorityClass,
                a.priorityClass);
        if (a.affinity != b.affinity)
            add(who + " affinity", hex(b.affinity), hex(a.affinity), Subject::Affinity, a.affinity);
        if (a.ioPriority && b.ioPriority && *a.ioPriority != *b.ioPriority)
            add(who + " I/O priority", std::to_string(*b.ioPriority), std::to_string(*a.ioPriority), Subject::IoPriority,
                *a.ioPriority);
    }
    auto schemeText = [](const PowerRecord& p) { return p.scheme ? guidText(*p.scheme) : std::string("unreadable"); };
    if (schemeText(before.power) != schemeText(after.power))
        add("active power scheme", schemeText(before.power), schemeText(after.power), Subject::PowerScheme, 0);
    for (std::size_t i = 0; i < kPowerValues; ++i) {
        const auto& b = before.power.acValues[i];
        const auto& a = after.power.acValues[i];
        if (b != a)
            add(std::string(kPowerValueNames[i]) + " (AC)", b ? std::to_string(*b) : "unreadable",
                a ? std::to_string(*a) : "unreadable", Subject::PowerValue, a.value_or(0));
    }
    for (const auto& [name, b] : before.services) {
        const auto found = after.services.find(name);
        const ServiceRecord a = found == after.services.end() ? ServiceRecord{} : found->second;
        const std::string who = "service " + utf8(name);
        if (a.present != b.present) {
            add(who, b.present ? "present" : "absent", a.present ? "present" : "absent", Subject::ServiceState, 0, name);
            continue;
        }
        if (a.state != b.state)
            add(who + " state", stateName(b.state), stateName(a.state), Subject::ServiceState, a.state, name);
        if (a.startType != b.startType)
            add(who + " start type", startTypeName(b.startType), startTypeName(a.startType), Subject::ServiceStartType,
                a.startType, name);
        if (a.delayed && b.delayed && *a.delayed != *b.delayed)
            add(who + " delayed start", *b.delayed ? "yes" : "no", *a.delayed ? "yes" : "no", Subject::ServiceDelayed,
                *a.delayed, name);
    }
    return out;
}

}  // namespace zkctl::selftest
