#pragma once
// Wine compatibility shim for process times (see wine_process_times.cpp).

#include <cstdint>

namespace zk::platform::win32 {

// True when the library runs under Wine (ntdll exports wine_get_version); checked once.
bool runningUnderWine();

// Kernel and user times (100 ns units) of process pid, from the system process list.
// False, with the last error set, when the list cannot be read or holds no such process.
bool systemListProcessTimes(std::uint32_t pid, std::uint64_t& kernel, std::uint64_t& user);

}  // namespace zk::platform::win32
