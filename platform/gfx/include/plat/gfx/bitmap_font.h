// The 8 x 14 bitmap font that pictures are labelled with: one byte per glyph
// row, leftmost pixel in bit 7, for the codes 0x20..0x7F.
#pragma once

#include <cstdint>

namespace plat::bitmap_font {

inline constexpr int kAdvance = 8;  // pixels from one character to the next
inline constexpr int kRows = 14;    // glyph rows, all above the baseline

// The kRows rows of the glyph for `code`, top row first; nullptr for a code
// the font has no glyph for.
const std::uint8_t* glyph(int code);

}  // namespace plat::bitmap_font
