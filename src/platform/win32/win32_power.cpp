#include "platform/win32/win32_areas.h"

namespace zk::platform::win32 {

std::int32_t Win32Power::ntPowerInformation(std::uint32_t level, const void* input, std::uint32_t inputSize,
                                            void* output, std::uint32_t outputSize) {
    auto fn = routines().ntPowerInformation;
    if (!fn) return win::STATUS_PROCEDURE_NOT_FOUND;
    return fn(level, const_cast<void*>(input), inputSize, output, outputSize);
}

}  // namespace zk::platform::win32
