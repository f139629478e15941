#pragma once
// A bound on a call that must return. A call that hangs fails the run at once: the program
// ends with the call's name, since a thread caught in a deadlock can never be freed.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>
#include <utility>

namespace zk::test {

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
