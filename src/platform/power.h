#pragma once
// Power management: processor power information.

#include <cstdint>

namespace zk::platform {

class Power {
public:
    virtual ~Power() = default;

    // NtPowerInformation (CallNtPowerInformation); returns the NTSTATUS.
    virtual std::int32_t ntPowerInformation(std::uint32_t level, const void* input, std::uint32_t inputSize,
                                            void* output, std::uint32_t outputSize) = 0;
};

}  // namespace zk::platform
