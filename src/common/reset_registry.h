#pragma once
// Module state that the test suite puts back between cases. Every module with
// process-wide state registers its reset once, beside its instance, so that no list of
// modules is kept by hand anywhere else.

namespace zk::common {

using ResetFn = void (*)();

// Registers at static initialisation: `const common::RegisteredReset kReset{[] { ... }};`.
struct RegisteredReset {
    explicit RegisteredReset(ResetFn fn);
};

// Runs every registered reset, in registration order.
void resetAllModules();

}  // namespace zk::common
