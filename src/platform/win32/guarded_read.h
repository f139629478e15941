#pragma once
// Reading a byte of memory that may fail to page in (an in-page error from a lost
// network drive or a failing device, or a view unmapped underneath) without the
// exception ending the process: the fault becomes a result.

#include <cstddef>

namespace zk::platform::win32 {

// Reads one byte of every page in [base, base + bytes); false at the first page that
// faults. The faulting read is skipped, never retried.
bool readEveryPage(const void* base, std::size_t bytes);

}  // namespace zk::platform::win32
