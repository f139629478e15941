#pragma once
// Owning wrapper for an operating-system handle, in the manner of WIL's unique_handle.
// The handle is closed through the platform that opened it, so the simulated machine
// can account for every handle.

#include <cstdint>
#include <utility>

namespace zk::platform {

class Platform;

using RawHandle = std::uintptr_t;
inline constexpr RawHandle kNullHandle = 0;

class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    UniqueHandle(Platform* owner, RawHandle h) noexcept : owner_(h ? owner : nullptr), h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : owner_(o.owner_), h_(std::exchange(o.h_, kNullHandle)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            reset();
            owner_ = o.owner_;
            h_ = std::exchange(o.h_, kNullHandle);
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    void reset() noexcept;
    RawHandle get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != kNullHandle; }

private:
    Platform* owner_ = nullptr;
    RawHandle h_ = kNullHandle;
};

}  // namespace zk::platform
