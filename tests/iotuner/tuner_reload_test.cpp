// The tuner looks its run-time routines up once per library load, not once per process.

#include "common/reset_registry.h"
#include "iotuner_fixture.h"

namespace zk::test {
namespace {

TEST_F(IoTunerTest, ALibraryLoadedAgainLooksTheRoutinesUpAgain) {
    machine.addProcess(500, 1, "a.exe").ioPriority = 2;
    machine.hideRoutine(platform::Routine::NtSetInformationProcess);
    Zelkor_IOTuner_LowerSinglePid(500, 0, 0, 1, 0);
    EXPECT_EQ(machine.process(500)->ioPriority, 2u) << "no routine to set it";
    machine.hideRoutine(platform::Routine::NtSetInformationProcess, false);
    common::resetAllModules();
    Zelkor_IOTuner_LowerSinglePid(500, 0, 0, 1, 0);
    EXPECT_EQ(machine.process(500)->ioPriority, 1u);
}

}  // namespace
}  // namespace zk::test
