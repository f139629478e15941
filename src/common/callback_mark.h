#pragma once
// Which modules' log callbacks the calling thread is inside of. A module that calls its
// host's callback while holding its log lock marks the thread for the length of the call;
// its exports then know that a call from that callback comes from a thread holding the
// lock, and answer without waiting for it.

#include <mutex>

namespace zk::common {

class CallbackMark {
public:
    // While alive, the calling thread counts as inside `mark`'s callback.
    class Scope {
    public:
        explicit Scope(const CallbackMark& mark) noexcept;
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        friend class CallbackMark;
        const CallbackMark* mark_;
        const Scope* outer_;  // the thread's scopes form a stack, one per nested callback
    };

    // True on a thread inside this mark's callback, however deeply nested.
    bool onThisThread() const noexcept;

    // Stores value into a field that `lock` guards. The callback runs with that lock held,
    // so a thread inside it stores at once instead of waiting for itself.
    template <class Lock, class T>
    void storeGuarded(Lock& lock, T& field, T value) const {
        if (onThisThread()) {
            field = value;
            return;
        }
        std::lock_guard lk(lock);
        field = value;
    }
};

}  // namespace zk::common
