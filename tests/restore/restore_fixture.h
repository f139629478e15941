#pragma once
// A simulated machine for the stateless restore: the ProgramData folder exists, and the
// polled lines are read back without their time stamps.

#include <string>
#include <vector>

#include "support/machine_fixture.h"
#include "zelkor.h"

namespace zk::test {

inline constexpr char16_t kLogFolder[] = u"C:\\ProgramData\\Zelkor";
inline constexpr char16_t kLogFile[] = u"C:\\ProgramData\\Zelkor\\stateless_restore.log";

class RestoreTest : public MachineTest {
protected:
    void SetUp() override { machine.addDirectory(u"C:\\ProgramData"); }

    // Every queued line, oldest first, with "[YYYY-MM-DD hh:mm:ss] " taken off.
    static std::vector<std::string> drain() {
        std::vector<std::string> out;
        char buf[512];
        while (Zelkor_StatelessRestore_PollLogA(buf, sizeof buf)) {
            const std::string line = buf;
            out.push_back(line.size() > 22 && line[0] == '[' ? line.substr(22) : line);
        }
        return out;
    }
};

}  // namespace zk::test
