#pragma once
// The one seam between the modules and the operating system.
//
// Modules never include <windows.h>; they call the Platform installed here, one interface
// per operating-system area. Each call mirrors one Windows call, with Windows' own numbers:
// failures are reported as a result plus the thread's last error (GetLastError), native
// routines return their NTSTATUS. A routine that may be missing on the running system
// (modules().hasRoutine) fails with ERROR_PROC_NOT_FOUND or STATUS_PROCEDURE_NOT_FOUND when
// called anyway.
//
// Two implementations: win32/ (the product) and sim/ (a simulated machine for tests).

#include <cstdint>

#include "platform/clocks.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/power.h"
#include "platform/processes.h"
#include "platform/services.h"
#include "platform/system.h"
#include "platform/tokens.h"
#include "platform/win_constants.h"

namespace zk::platform {

class Platform {
public:
    virtual ~Platform() = default;

    virtual Processes& processes() = 0;
    virtual Tokens& tokens() = 0;
    virtual Services& services() = 0;
    virtual Power& power() = 0;
    virtual System& system() = 0;
    virtual Files& files() = 0;
    virtual Clocks& clocks() = 0;
    virtual Modules& modules() = 0;

    virtual std::uint32_t lastError() = 0;
    virtual void setLastError(std::uint32_t code) = 0;
    // Closes h with the closer of its kind; false (with the last error) when h is not an
    // open handle of that kind.
    virtual bool closeHandle(HandleKind kind, RawHandle h) noexcept = 0;
};

// The platform the modules use. The Windows build installs the Win32 platform by default;
// tests install a simulated machine, and a native build without one stops at once.
Platform& api();
// Makes p the current platform (nullptr restores the default); returns the previous one.
Platform* install(Platform* p);
// Provided by the build's platform implementation.
Platform& defaultPlatform();

inline Processes& processes() { return api().processes(); }
inline Tokens& tokens() { return api().tokens(); }
inline Power& power() { return api().power(); }
inline System& system() { return api().system(); }
inline Clocks& clocks() { return api().clocks(); }
inline Modules& modules() { return api().modules(); }
inline std::uint32_t lastError() { return api().lastError(); }

}  // namespace zk::platform
