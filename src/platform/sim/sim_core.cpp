#include "platform/sim/sim_core.h"

#include <cstdio>

namespace zk::sim {

std::uint32_t& lastError() {
    thread_local std::uint32_t code = 0;
    return code;
}

std::string hex(std::uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

bool SimCore::enter(Op op, std::uint32_t* code) {
    std::function<void()> hook;
    {
        std::lock_guard lk(m);
        ++calls[static_cast<std::size_t>(op)];
        auto h = hooks.find(op);
        if (h != hooks.end()) hook = h->second;
    }
    if (hook) hook();
    std::lock_guard lk(m);
    auto f = faults.find(op);
    if (f == faults.end()) return false;
    *code = f->second.code;
    if (f->second.remaining > 0 && --f->second.remaining == 0) faults.erase(f);
    return true;
}

bool SimCore::failsWin32(Op op) {
    std::uint32_t code = 0;
    if (!enter(op, &code)) return false;
    lastError() = code;
    return true;
}

bool SimCore::hidden(Routine r) {
    std::lock_guard lk(m);
    return hiddenRoutines[static_cast<std::size_t>(r)];
}

bool SimCore::missing(Routine r) {
    if (!hidden(r)) return false;
    lastError() = win::ERROR_PROC_NOT_FOUND;
    return true;
}

bool SimCore::failsNative(Routine r, Op op, std::int32_t* status) {
    if (hidden(r)) {
        *status = win::STATUS_PROCEDURE_NOT_FOUND;
        return true;
    }
    std::uint32_t code = 0;
    if (!enter(op, &code)) return false;
    *status = static_cast<std::int32_t>(code);
    return true;
}

RawHandle SimCore::newHandle(HandleInfo info) {
    const RawHandle h = nextHandle;
    nextHandle += 4;
    handles.emplace(h, std::move(info));
    return h;
}

HandleInfo* SimCore::handle(RawHandle h, HandleKind k) {
    auto it = handles.find(h);
    if (it == handles.end() || it->second.kind != k) {
        lastError() = win::ERROR_INVALID_HANDLE;
        return nullptr;
    }
    return &it->second;
}

bool SimCore::close(HandleKind k, RawHandle h) {
    if (!handle(h, k)) return false;  // closed already, never opened, or another kind
    handles.erase(h);
    return true;
}

}  // namespace zk::sim
