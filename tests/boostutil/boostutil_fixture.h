#pragma once
// A simulated machine with the service module's wide lines kept as UTF-8.

#include <string>
#include <vector>

#include "support/machine_fixture.h"
#include "zelkor.h"

namespace zk::test {

class BoostUtilTest : public MachineTest {
protected:
    void SetUp() override {
        Zelkor_Restore_SetLogCallback(&keep);
        lines().clear();
    }
    static std::vector<std::string>& lines() {
        static std::vector<std::string> kept;
        return kept;
    }

private:
    static void ZK_CALL keep(const zk_wchar* line) {
        std::string s;
        for (; *line; ++line) s.push_back(*line < 0x80 ? static_cast<char>(*line) : '?');
        lines().push_back(std::move(s));
    }
};

}  // namespace zk::test
