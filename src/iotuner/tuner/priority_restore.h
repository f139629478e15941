#pragma once
// Putting back the priority classes and I/O priorities the tuner recorded, and emptying
// the records.

namespace zk::iotuner {

// CPU classes first, then I/O priorities; every pid recorded when its phase begins
// leaves the records, whatever became of it.
void RestorePriorities();

}  // namespace zk::iotuner
