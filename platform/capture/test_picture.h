// The moving test picture of a virtual camera.
#pragma once

#include <cstdint>

#include "plat/gfx/gfx.h"

namespace plat::capture {

// Draws camera `camera`'s picture number `frame`, taken `seconds` after its
// stream started, into `s` (kFrameWidth x kFrameHeight, Rgb32): a background
// tinted per camera, a frame counter and a clock, a bar that sweeps across,
// and a target whose sideways offset grows with the camera number, so that
// two cameras interleaved show it at a depth of its own.
void draw_test_picture(Surface& s, int camera, std::int64_t frame, double seconds);

// How far camera `camera`'s target lies right of the first camera's, in pixels.
int test_picture_offset(int camera);

}  // namespace plat::capture
