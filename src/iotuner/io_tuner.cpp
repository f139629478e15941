#include "iotuner/io_tuner.h"

namespace zk::iotuner {

IoTuner& tuner() {
    static IoTuner* t = new IoTuner;
    return *t;
}

void IoTuner::resetForTests() {}

}  // namespace zk::iotuner
