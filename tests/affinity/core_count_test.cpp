// The logical processor count: read once per library load, never below one.

#include "affinity/core_topology.h"
#include "common/reset_registry.h"
#include "support/machine_fixture.h"

namespace zk::test {
namespace {

class CoreCountTest : public MachineTest {};

TEST_F(CoreCountTest, ReadOncePerLibraryLoadAndNeverBelowOne) {
    machine.setLogicalProcessorCount(6);
    EXPECT_EQ(affinity::LogicalCoreCount(), 6);
    machine.setLogicalProcessorCount(12);
    EXPECT_EQ(affinity::LogicalCoreCount(), 6);
    common::resetAllModules();
    EXPECT_EQ(affinity::LogicalCoreCount(), 12);
    machine.setLogicalProcessorCount(0);
    common::resetAllModules();
    EXPECT_EQ(affinity::LogicalCoreCount(), 1);
}

}  // namespace
}  // namespace zk::test
