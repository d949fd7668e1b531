// Packed DIBs, the clipboard's image format, to and from surfaces.
//
// A packed DIB is a 40-byte info header (size, width, height, planes, bit
// count, compression, image size, resolution, colours used, colours
// important; little-endian), a colour table of RGBQUAD entries (blue, green,
// red, reserved) for palette pictures, then the rows, each padded to a
// multiple of 4 bytes, bottom row first when the height is positive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plat/gfx.h"

namespace plat::dib {

inline constexpr std::size_t kInfoHeaderSize = 40;

// Bytes per row of `width` pixels at `bits` per pixel, padded to 4 bytes.
std::size_t row_stride(int width, int bits);

// ---- Writing -------------------------------------------------------------
//
// An Rgb32 surface becomes a 24-bit DIB (the top byte of each pixel is
// dropped), an Indexed8 one an 8-bit DIB with all 256 palette entries. The
// header has size 40, the width, the positive height (bottom-up rows),
// 1 plane, the bit count and 0 in every other field.

// Size in bytes of the DIB that `write` makes; 0 for an empty surface.
std::size_t packed_size(const Surface& s);
// Writes the DIB into `out`, which holds `size` bytes; false when `size` is
// not packed_size(s) or the surface is empty.
bool write(const Surface& s, std::uint8_t* out, std::size_t size);
// The same into a new buffer; empty when the surface is empty or the memory
// cannot be had.
std::vector<std::uint8_t> from_surface(const Surface& s);

// ---- Reading -------------------------------------------------------------

struct Info {
    int width = 0;
    int height = 0;          // always positive
    bool top_down = false;   // the header's height was negative
    int bits = 0;            // 1, 4, 8, 24 or 32
    int palette_entries = 0; // colour-table entries of a palette picture, else 0
};

// Reads and checks the header against the data's size: uncompressed 1, 4,
// 8, 24 and 32-bit DIBs (and 32-bit bit fields with the 0x00RRGGBB masks),
// a header of 40 bytes or more, at most 32768 pixels a side and 2^28 pixels
// in all, and enough bytes for the colour table and every row. The colour
// table of a palette picture has biClrUsed entries, or 2^bits when that is
// 0; a table after a 24 or 32-bit header (biClrUsed entries) is skipped.
bool read_info(const std::uint8_t* data, std::size_t size, Info& out);

// Decodes a DIB: palette pictures into an Indexed8 surface (the table's
// entries, the rest of the 256 black), others into an Rgb32 one. False,
// with `out` untouched, for anything read_info refuses.
bool to_surface(const std::uint8_t* data, std::size_t size, Surface& out, Info* info = nullptr);

}  // namespace plat::dib
