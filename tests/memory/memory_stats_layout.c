/* The statistics record as a C compiler lays it out. */
#include "zelkor.h"

size_t zk_c_sizeof_MemoryStats(void) { return sizeof(MemoryStats); }
size_t zk_c_offsetof_MemoryStats_codeCounts(void) { return offsetof(MemoryStats, codeCounts); }
