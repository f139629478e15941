#include "iotuner/io_tuner.h"

namespace zk::iotuner {

IoTuner& tuner() {
    static IoTuner* t = new IoTuner;
    return *t;
}

void IoTuner::resetForTests() {
    records.OriginalIoPriority.clear();
    records.OriginalCpuPriority.clear();
    rateLimit.clear();
    routines.reset();
    privileges.reset();
}

}  // namespace zk::iotuner
