#pragma once
// The debug privilege the tuner asks for, once for each of its three lowering exports, and
// the base-priority privilege its restore asks for before putting back a High I/O priority.

#include <atomic>
#include <cstdint>

namespace zk::iotuner {

enum class TunerExport : std::uint8_t { ApplyInverseIo, ApplyInverseIoEx, LowerSinglePid, Count };

class TunerPrivileges {
public:
    // Runs the set-up the first time `caller` asks; later calls return at once.
    void ensure(TunerExport caller);
    void reset();

private:
    std::atomic<bool> done_[static_cast<int>(TunerExport::Count)];  // false until run
};

// Best effort and without a line of its own: a refusal shows as the restore's failure.
void enableBasePriorityPrivilege();

}  // namespace zk::iotuner
