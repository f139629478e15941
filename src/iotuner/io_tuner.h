#pragma once
// The I/O tuner's process-wide state: one object, created on first use and never
// destroyed; each part keeps its own lock beside its data.

#include "iotuner/tuner_log.h"

namespace zk::iotuner {

class IoTuner {
public:
    TunerLogger log;

    // Tests only: forget everything learned since load (log settings stay).
    void resetForTests();
};

IoTuner& tuner();

}  // namespace zk::iotuner
