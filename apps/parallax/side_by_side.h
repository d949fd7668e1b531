// The compositor's wide picture: the left and right cameras' newest frames
// side by side, every camera pixel over three neighbouring columns (one per
// colour subpixel of the interleaving).
#pragma once

#include <cstdint>

inline constexpr int kSideBySideWidth = 3840;   // 2 x 3 x 640
inline constexpr int kSideBySideHeight = 480;

// Writes rows 0..479 of `image` (kSideBySideWidth words a row) from the two
// 640 x 480 frames; pixels 3x..3x+2 of row y get left[y][x], pixels
// 1920+3x..1920+3x+2 get right[y][x]. The frames are read word by word as a
// camera may be writing them meanwhile. The rows are shared out among the
// worker pool's threads.
void assemble_side_by_side(const std::uint32_t* left, const std::uint32_t* right, std::uint32_t* image);
