// The records' binary layout as hosts see it (the header pins it with static_asserts;
// this makes sure a C compiler agrees too).

#include <gtest/gtest.h>

#include "zelkor.h"

extern "C" std::size_t zk_c_sizeof_QtmConfig(void);
extern "C" std::size_t zk_c_sizeof_QtmMetrics(void);
extern "C" std::size_t zk_c_offsetof_QtmMetrics_thermal(void);

TEST(RecordLayout, CAndCppAgree) {
    EXPECT_EQ(zk_c_sizeof_QtmConfig(), sizeof(QtmConfig));
    EXPECT_EQ(zk_c_sizeof_QtmMetrics(), sizeof(QtmMetrics));
    EXPECT_EQ(zk_c_offsetof_QtmMetrics_thermal(), offsetof(QtmMetrics, thermal));
}
