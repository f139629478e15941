#pragma once
// A bound on a call that must return. A call that hangs fails the run at once: the program
// ends with the call's name, since a thread caught in a deadlock can never be freed.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace zk::test {

// Whether done() comes true on another thread: the 30 s of real time are a watchdog only.
template <typename Pred>
bool eventually(Pred done) {
    const auto watchdog = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < watchdog) std::this_thread::yield();
    return done();
}

template <typename Fn>
void mustReturn(const char* call, Fn&& fn) {
    std::promise<void> returned;
    std::future<void> done = returned.get_future();
    std::thread caller([&] {
        fn();
        returned.set_value();
    });
    if (done.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        std::fprintf(stderr, "HANG: %s did not return within 30 s\n", call);  // stderr is unbuffered
        std::abort();
    }
    caller.join();
}

}  // namespace zk::test
