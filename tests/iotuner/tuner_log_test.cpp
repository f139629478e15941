// The tuner's log line, its levels and its three sinks.

#include <gtest/gtest.h>

#include <numeric>

#include "iotuner/tuner_log.h"
#include "iotuner_fixture.h"

namespace {

using namespace zk;
using iotuner::TunerLog;

class TunerLogTest : public test::IoTunerTest {};

TEST_F(TunerLogTest, ExactLineToEverySinkWithLevelTags) {
    machine.advanceMs((3600 + 2 * 60 + 3) * 1000 + 999);  // 13:02:03.999 on the machine's first day
    TunerLog(1, "one");
    TunerLog(2, "two");
    TunerLog(3, "three");
    TunerLog(7, "seven");
    const std::string stamp = "[ZELKOR.IOTUNER.INVERSE] [2026-12-06 13:02:03] ";
    const std::vector<std::string> expected = {stamp + "[INFO] one", stamp + "[WARNING] two", stamp + "[ERROR] three",
                                               stamp + "[INFO] seven"};
    EXPECT_EQ(logged(), expected);
    std::vector<std::string> debug;
    for (const auto& l : expected) debug.push_back(l + "\n");
    EXPECT_EQ(machine.debugOutput(), debug);
    EXPECT_EQ(machine.stdErr(), std::accumulate(debug.begin(), debug.end(), std::string()));
}

TEST_F(TunerLogTest, DebugLinesOnlyWhenEnabledAndNoCallbackStillWritesTheOtherSinks) {
    TunerLog(0, "hidden");
    SetIOTunerDebug(1);
    TunerLog(0, "shown");
    SetIOTunerDebug(0);
    TunerLog(0, "hidden again");
    TunerLog(-1, "below every level");
    EXPECT_EQ(messages(), std::vector<std::string>{"[DEBUG] shown"});
    SetIOTunerLogCallback(nullptr);
    TunerLog(1, "x");
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(machine.debugOutput().size(), 2u);
    EXPECT_NE(machine.stdErr().find("[INFO] x\n"), std::string::npos);
}

int g_reentered = 0;
void ZK_CALL reenter(const char*) {
    ++g_reentered;
    TunerLog(1, "from inside the callback");  // must neither deadlock nor recurse
}

TEST_F(TunerLogTest, CallbackThatLogsAgainIsNotDeadlocked) {
    SetIOTunerLogCallback(&reenter);
    TunerLog(1, "outer");
    TunerLog(1, "second");
    EXPECT_EQ(g_reentered, 2);
    EXPECT_EQ(machine.debugOutput().size(), 2u);
}

}  // namespace
