// Packed DIBs, the clipboard core's image format, to and from surfaces: a
// 40-byte (or longer) info header, a colour table for palette images, then
// the rows, each padded to 4 bytes, bottom-up for a positive height.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plat/gfx.h"

namespace plat::detail::x11 {

// Reads 1, 4 and 8-bit palette DIBs into an Indexed8 surface (palette
// copied, missing entries black) and 24 and 32-bit DIBs into an Rgb32
// surface. Uncompressed data only, plus 32-bit bit fields with the usual
// masks; top-down (negative height) DIBs are read too. False, with `out`
// untouched, for anything malformed or unsupported.
bool dib_to_surface(const std::uint8_t* data, std::size_t size, Surface& out);

// An Rgb32 surface becomes a 32-bit DIB, an Indexed8 one an 8-bit DIB with
// all 256 palette entries; bottom-up, compression 0, other fields 0.
std::vector<std::uint8_t> surface_to_dib(const Surface& s);

// A BMP file is a 14-byte file header and a packed DIB.
std::vector<std::uint8_t> dib_to_bmp_file(const std::vector<std::uint8_t>& dib);
// The packed DIB inside a BMP file; empty when it is not one.
std::vector<std::uint8_t> bmp_file_to_dib(const std::uint8_t* data, std::size_t size);

}  // namespace plat::detail::x11
