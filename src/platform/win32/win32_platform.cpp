// The Win32 platform: the areas together, the thread's last error, and each handle kind's
// own closer.
#include "platform/win32/win32_areas.h"

#include <winsvc.h>

namespace zk::platform::win32 {

namespace {

class Win32Platform final : public Platform {
public:
    Processes& processes() override { return processes_; }
    Tokens& tokens() override { return tokens_; }
    Services& services() override { return services_; }
    Power& power() override { return power_; }
    System& system() override { return system_; }
    Files& files() override { return files_; }
    Clocks& clocks() override { return clocks_; }
    Modules& modules() override { return modules_; }
    std::uint32_t lastError() override { return GetLastError(); }
    void setLastError(std::uint32_t code) override { SetLastError(code); }

    bool closeHandle(HandleKind kind, RawHandle h) noexcept override {
        switch (kind) {
            case HandleKind::ServiceManager:
            case HandleKind::Service: return CloseServiceHandle(reinterpret_cast<SC_HANDLE>(h)) != FALSE;
            case HandleKind::Find: return FindClose(toHandle(h)) != FALSE;
            case HandleKind::View: return UnmapViewOfFile(reinterpret_cast<void*>(h)) != FALSE;
            case HandleKind::Local: return LocalFree(reinterpret_cast<HLOCAL>(h)) == nullptr;
            case HandleKind::Module: return FreeLibrary(reinterpret_cast<HMODULE>(h)) != FALSE;
            case HandleKind::Process:
            case HandleKind::Thread:
            case HandleKind::Token:
            case HandleKind::Snapshot:
            case HandleKind::File:
            case HandleKind::Mapping: return CloseHandle(toHandle(h)) != FALSE;
            case HandleKind::Count: break;
        }
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }

private:
    Win32Processes processes_{*this};
    Win32Tokens tokens_{*this};
    Win32Services services_{*this};
    Win32Power power_;
    Win32System system_;
    Win32Files files_{*this};
    Win32Clocks clocks_;
    Win32Modules modules_{*this};
};

}  // namespace

}  // namespace zk::platform::win32

namespace zk::platform {

Platform& defaultPlatform() {
    static win32::Win32Platform instance;
    return instance;
}

}  // namespace zk::platform
