#pragma once
// Which modules' log callbacks the calling thread is inside of. A module that calls its
// host's callback while holding its log lock marks the thread for the length of the call;
// its exports then know that a call from that callback comes from a thread holding the
// lock, and answer without waiting for it.

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
};

}  // namespace zk::common
