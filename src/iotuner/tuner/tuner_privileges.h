#pragma once
// The debug privilege the tuner asks for, once for each of its three lowering exports.

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

}  // namespace zk::iotuner
