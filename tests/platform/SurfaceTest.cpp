#include "platform/Surface.h"

#include <gtest/gtest.h>

using namespace plastora;

TEST(Surface, CreateIsBlack) {
    Surface s;
    ASSERT_TRUE(s.create(3, 2));
    EXPECT_EQ(s.at(2, 1), kBlack);
}
