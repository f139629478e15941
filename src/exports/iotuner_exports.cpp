// The I/O tuner's exports.

#include "iotuner/io_tuner.h"
#include "zelkor.h"

using zk::iotuner::tuner;

extern "C" {

ZK_API void ZK_CALL SetIOTunerDebug(int enabled) { tuner().log.setDebug(enabled != 0); }
ZK_API void ZK_CALL SetIOTunerLogCallback(IOTunerLogCallback cb) { tuner().log.setCallback(cb); }

}  // extern "C"
