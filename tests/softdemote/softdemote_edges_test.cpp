// A machine that reports no processors: no process share can be computed, so none counts as busy.

#include "softdemote_fixture.h"

namespace zk::test {
namespace {

class SoftDemoteEdgesTest : public SoftDemoteTest {};

TEST_F(SoftDemoteEdgesTest, NoProcessorsReportedMeansNoProcessIsBusy) {
    add(801, "worker.exe");
    auto e = engine("mid", 0);
    e->runDemotionPass();
    burn({{801, 50.0}}, 1000, 1);
    e->runDemotionPass();
    EXPECT_FALSE(idle(801));
}

}  // namespace
}  // namespace zk::test
