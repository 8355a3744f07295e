// The one movement of the mouse that ends a saver: a jump of more than
// kMouseJumpPixels on either axis between two reported positions. Small
// moves (a desk knocked, a sensor's jitter) leave the picture alone.
#pragma once

#include <cmath>

namespace nivora {

inline constexpr double kMouseJumpPixels = 100;

// Positions in pixels, whole (Windows, X11) or fractional (Wayland's logical
// pixels). Every 32-bit coordinate is exact in a double, so whole positions
// at the far ends of the range compare without overflow.
inline bool IsMouseJump(double fromX, double fromY, double toX, double toY) {
    return std::fabs(toX - fromX) > kMouseJumpPixels || std::fabs(toY - fromY) > kMouseJumpPixels;
}

}  // namespace nivora
