// The memory relief exports.

#include "memory/memory_relief.h"
#include "zelkor.h"

using zk::memory::memoryRelief;

namespace {

// The one body behind the two do-nothing exports.
void doNothing() {}

}  // namespace

extern "C" {

ZK_API double ZK_CALL extreme_memory_clean(uint32_t, double memoryLoadPercent, const void*) {
    return memoryRelief().extremeClean(memoryLoadPercent);
}
ZK_API double ZK_CALL trim_process_working_set(uint32_t pid) { return memoryRelief().trimForProcess(pid); }
ZK_API MemoryStats ZK_CALL get_memory_stats(void) { return memoryRelief().stats(); }
ZK_API void ZK_CALL reset_memory_stats(void) { memoryRelief().resetStats(); }
ZK_API int ZK_CALL self_test(void) { return memoryRelief().selfTest() ? 1 : 0; }
ZK_API void ZK_CALL ram_overseer_step(void) { doNothing(); }
ZK_API void ZK_CALL clear_rights_cache(void) { doNothing(); }

}  // extern "C"
