#pragma once
// Owning handles, one type per kind, in the manner of WIL's unique_any: the kind is part
// of the type, so a find handle cannot be passed where a process handle is wanted, and
// each kind closes with its own closer (CloseHandle, CloseServiceHandle, FindClose,
// UnmapViewOfFile, LocalFree, FreeLibrary). A handle closes through the platform that
// opened it, so the simulated machine accounts for every one.
//
// Null (0) is the one invalid value: the Win32 layer turns INVALID_HANDLE_VALUE returned by
// the calls that use it (snapshots, find, files) into null. The current-process pseudo
// handle (-1) is a valid handle that nothing closes.

#include <cstdint>
#include <utility>

namespace zk::platform {

class Platform;

using RawHandle = std::uintptr_t;
inline constexpr RawHandle kNullHandle = 0;
inline constexpr RawHandle kCurrentProcessHandle = ~RawHandle{0};  // GetCurrentProcess()

enum class HandleKind : std::uint8_t {
    Process,
    Thread,
    Token,
    Snapshot,
    ServiceManager,
    Service,
    Find,
    File,
    Mapping,
    View,
    Local,
    Module,
    Count
};

// Closes h of kind k through owner; defined with the platform.
void closeOwned(Platform* owner, HandleKind k, RawHandle h) noexcept;

template <HandleKind K>
class Unique {
public:
    static constexpr HandleKind kind = K;

    Unique() noexcept = default;
    Unique(Platform* owner, RawHandle h) noexcept : owner_(h ? owner : nullptr), h_(h) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& o) noexcept : owner_(std::exchange(o.owner_, nullptr)), h_(std::exchange(o.h_, kNullHandle)) {}
    Unique& operator=(Unique&& o) noexcept {
        if (this != &o) {
            reset();
            owner_ = std::exchange(o.owner_, nullptr);
            h_ = std::exchange(o.h_, kNullHandle);
        }
        return *this;
    }
    ~Unique() { reset(); }

    // A handle nobody closes (the current-process pseudo handle).
    static Unique unowned(RawHandle h) noexcept { return Unique(nullptr, h); }

    void reset() noexcept {
        if (h_ != kNullHandle && owner_) closeOwned(owner_, K, h_);
        h_ = kNullHandle;
        owner_ = nullptr;
    }
    RawHandle get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != kNullHandle; }

private:
    Platform* owner_ = nullptr;
    RawHandle h_ = kNullHandle;
};

using ProcessHandle = Unique<HandleKind::Process>;
using ThreadHandle = Unique<HandleKind::Thread>;
using TokenHandle = Unique<HandleKind::Token>;
using SnapshotHandle = Unique<HandleKind::Snapshot>;
using ServiceManagerHandle = Unique<HandleKind::ServiceManager>;
using ServiceHandle = Unique<HandleKind::Service>;
using FindHandle = Unique<HandleKind::Find>;
using FileHandle = Unique<HandleKind::File>;
using MappingHandle = Unique<HandleKind::Mapping>;
using ViewHandle = Unique<HandleKind::View>;
using LocalBuffer = Unique<HandleKind::Local>;
using ModuleHandle = Unique<HandleKind::Module>;  // a reference to a loaded module

}  // namespace zk::platform
