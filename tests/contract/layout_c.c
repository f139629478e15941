/* Compiles the public header as C. */
#include "zelkor.h"

size_t zk_c_sizeof_QtmConfig(void) { return sizeof(QtmConfig); }
size_t zk_c_sizeof_QtmMetrics(void) { return sizeof(QtmMetrics); }
size_t zk_c_offsetof_QtmMetrics_thermal(void) { return offsetof(QtmMetrics, thermal); }
