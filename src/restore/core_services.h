#pragma once
// Core Windows services back at their default start types, and optionally started.

#include <cstdint>
#include <span>

namespace zk::restore {

void applyCoreServiceDefaults(bool startServices);

struct ServiceDefault {
    const char16_t* name;
    std::uint32_t startType;
    bool delayed;  // delayed automatic start, written for automatic services
};
// The services reset, in order, and those then started, in order.
std::span<const ServiceDefault> coreServiceDefaults();
std::span<const char16_t* const> coreServicesToStart();

}  // namespace zk::restore
