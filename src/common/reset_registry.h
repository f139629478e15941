#pragma once
// Module state that the test suite puts back between cases. Every module with
// process-wide state registers its reset once, beside its instance, so that no list of
// modules is kept by hand anywhere else:
//
//   ZK_REGISTER_TEST_RESET([] { tuner().resetForTests(); })
//
// Only the test build registers anything: the library a host loads runs no constructor at
// load for it.

namespace zk::common {

using ResetFn = void (*)();

struct RegisteredReset {
    explicit RegisteredReset(ResetFn fn);
};

// Runs every registered reset, in registration order.
void resetAllModules();

}  // namespace zk::common

#if defined(ZELKOR_TEST_RESETS)
#define ZK_REGISTER_TEST_RESET(fn) \
    namespace {                    \
    const ::zk::common::RegisteredReset kTestReset{fn};  \
    }
#else
#define ZK_REGISTER_TEST_RESET(fn)
#endif
