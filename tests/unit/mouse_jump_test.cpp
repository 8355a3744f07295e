#include "host/mouse_jump.h"

#include <gtest/gtest.h>

#include <climits>

namespace nivora {
namespace {

TEST(MouseJump, OverAHundredPixelsOnEitherAxis) {
    EXPECT_FALSE(IsMouseJump(500, 400, 600, 500));
    EXPECT_FALSE(IsMouseJump(500, 400, 400, 300));
    EXPECT_TRUE(IsMouseJump(500, 400, 601, 400));
    EXPECT_TRUE(IsMouseJump(500, 400, 500, 299));
    EXPECT_TRUE(IsMouseJump(10.0, 10.0, 110.25, 10.0));  // Wayland's fractional pixels
    EXPECT_TRUE(IsMouseJump(INT_MIN, 0, INT_MAX, 0));    // no overflow
}

}  // namespace
}  // namespace nivora
