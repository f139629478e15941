#include "iotuner/tuner/io_tuner.h"
#include "common/reset_registry.h"

namespace zk::iotuner {

IoTuner& tuner() {
    static IoTuner* t = new IoTuner;
    return *t;
}

ZK_REGISTER_TEST_RESET([] { tuner().resetForTests(); })

void IoTuner::resetForTests() {
    records.OriginalIoPriority.clear();
    records.OriginalCpuPriority.clear();
    rateLimit.clear();
    routines.reset();
    privileges.reset();
}

}  // namespace zk::iotuner
