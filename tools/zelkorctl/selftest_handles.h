#pragma once
// Owned kernel and service handles for the self-test's own reads of the machine.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace zkctl::selftest {

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct ServiceCloser {
    void operator()(SC_HANDLE h) const { CloseServiceHandle(h); }
};
using UniqueService = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceCloser>;

}  // namespace zkctl::selftest
