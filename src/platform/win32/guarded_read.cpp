#include "platform/win32/guarded_read.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zk::platform::win32 {

namespace {
constexpr std::size_t kPage = 4096;
}

#if defined(_MSC_VER)

bool readEveryPage(const void* base, std::size_t bytes) {
    const volatile unsigned char* p = static_cast<const volatile unsigned char*>(base);
    __try {
        unsigned char sink = 0;
        for (std::size_t o = 0; o < bytes; o += kPage) sink ^= p[o];
        (void)sink;
    } __except (GetExceptionCode() == EXCEPTION_IN_PAGE_ERROR || GetExceptionCode() == EXCEPTION_ACCESS_VIOLATION
                    ? EXCEPTION_EXECUTE_HANDLER
                    : EXCEPTION_CONTINUE_SEARCH) {
        return false;
    }
    return true;
}

#elif defined(__x86_64__)

// mingw has no __try. One read instruction at a known address: a vectored handler that
// sees a fault at exactly that instruction resumes after it with -1 as the result. Only
// this instruction is ever resumed, so no other fault is hidden.
extern "C" int zkGuardedReadByte(const volatile void* p);
extern "C" char zkGuardedReadByteDone[];
asm(R"(
    .text
    .globl zkGuardedReadByte
    .globl zkGuardedReadByteDone
zkGuardedReadByte:
    movzbl (%rcx), %eax
zkGuardedReadByteDone:
    ret
)");

namespace {

LONG CALLBACK resumeGuardedRead(EXCEPTION_POINTERS* e) {
    const DWORD code = e->ExceptionRecord->ExceptionCode;
    if ((code == EXCEPTION_IN_PAGE_ERROR || code == EXCEPTION_ACCESS_VIOLATION) &&
        e->ContextRecord->Rip == reinterpret_cast<DWORD64>(&zkGuardedReadByte)) {
        e->ContextRecord->Rax = 0xFFFFFFFFu;
        e->ContextRecord->Rip = reinterpret_cast<DWORD64>(zkGuardedReadByteDone);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool readEveryPage(const void* base, std::size_t bytes) {
    // Registered for the duration of the reads only, so that the handler never outlives
    // this library's code.
    void* handler = AddVectoredExceptionHandler(1, &resumeGuardedRead);
    if (!handler) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    const char* p = static_cast<const char*>(base);
    bool ok = true;
    for (std::size_t o = 0; o < bytes && ok; o += kPage) ok = zkGuardedReadByte(p + o) >= 0;
    RemoveVectoredExceptionHandler(handler);
    if (!ok) SetLastError(ERROR_READ_FAULT);
    return ok;
}

#else
#error "readEveryPage needs an implementation for this architecture"
#endif

}  // namespace zk::platform::win32
