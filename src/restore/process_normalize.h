#pragma once
// Puts user processes back to normal priority and full affinity.

namespace zk::restore {

void normalizeUserProcesses();

}  // namespace zk::restore
