#pragma once
// Exact quarter and half turns of a bitmap.

#include "picture/cdibsection.h"

#include <functional>

namespace glimmerby {

// The angles the "Chose Operation:" frame passes, in radians (single precision). A
// positive angle turns the picture counter-clockwise on the screen.
inline constexpr float RotateLeftAngle = 1.5707964f; // "Rotate 90 Left"
inline constexpr float RotateRightAngle = 4.712389f; // "Rotate 90 Right"
inline constexpr float Rotate180Angle = 3.1415927f;  // "Rotate 180"

// The most progress steps one turn reports.
inline constexpr int RotateStrips = 16;

// Turns `source` (W x H, upright coordinates) into `destination`, which is made here with
// the source's channel count: H x W for a quarter turn, W x H for a half turn.
//   left:  dst(x, y) = src(W-1-y, x)
//   right: dst(x, y) = src(y, H-1-x)
//   180:   dst(x, y) = src(W-1-x, H-1-y)
// Angles are matched within 1e-3. Any other angle, an empty source or a destination that
// cannot be had gives false and an empty destination. `step` is called after each of at
// most RotateStrips strips of destination rows.
bool bmp_rotate(const cDIBSection &source, cDIBSection &destination, float angle,
                const std::function<void()> &step = {});

} // namespace glimmerby
