// Packed DIBs, the clipboard's image format, to and from surfaces.
//
// A packed DIB is a BMP file without its 14-byte file header: an info
// header (40 bytes when we write one: size, width, height, planes, bit
// count, compression, image size, resolution, colours used, colours
// important; little-endian), bit masks or a colour table of RGBQUAD entries
// (blue, green, red, reserved) where the picture has them, then the rows,
// each padded to a multiple of 4 bytes, bottom row first when the height is
// positive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plat/gfx/gfx.h"

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
    int bits = 0;            // 1, 2, 4, 8, 16, 24 or 32
    int palette_entries = 0; // colour-table entries a palette picture uses, else 0
};

// Reading accepts exactly what the BMP codec reads in a BMP file (plat/codecs.h):
// the OS/2 core header and the Windows headers up to version 5; 1, 2, 4 and
// 8-bit palette pictures, also run-length coded (RLE8, RLE4); 16-bit
// pictures (5-5-5 without bit fields, any masks with them, such as 5-6-5),
// 24-bit, and 32-bit with or without bit fields of any masks; bottom-up or
// top-down; at most 32768 pixels a side and 2^28 in all. The rows follow the
// header, the bit masks after a 40-byte header with bit fields, and the
// colour table the header declares: biClrUsed entries (2^bits for a palette
// picture when 0), of which a palette picture uses at most 2^bits; a table
// after a 16, 24 or 32-bit header is skipped.

// Reads and checks the header against the data's size: the colour table and,
// for plain rows, every row must be there. Run-length data is only checked
// for what it could hold; to_surface finds whether its runs are whole.
bool read_info(const std::uint8_t* data, std::size_t size, Info& out);

// Decodes a DIB: palette pictures into an Indexed8 surface (the table's
// entries, the rest of the 256 black), others into an Rgb32 one. False,
// with `out` untouched, for anything the reader refuses.
bool to_surface(const std::uint8_t* data, std::size_t size, Surface& out, Info* info = nullptr);

}  // namespace plat::dib
