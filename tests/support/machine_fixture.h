#pragma once
// A test fixture with a fresh simulated machine installed as the platform and every
// module's state put back; every test ends by checking that no handle was left open.

#include <gtest/gtest.h>

#include "common/reset_registry.h"
#include "platform/sim/sim_machine.h"

namespace zk::test {

class MachineTest : public ::testing::Test {
protected:
    MachineTest() : scope_(machine) { common::resetAllModules(); }
    ~MachineTest() override { common::resetAllModules(); }
    void TearDown() override { EXPECT_EQ(machine.openHandleCount(), 0u) << "handle leaked"; }

    sim::SimMachine machine;

private:
    sim::ScopedMachine scope_;
};

}  // namespace zk::test
