// The inner loops of the per-frame copies, one row at a time. On x86-64 they
// use SSSE3 and AVX2 where the processor has them (chosen once, at run
// time); elsewhere plain loops. All variants give the same pixels.
#pragma once

#include <cstdint>

namespace reelmix::kernels {

// d[x] = the x-th blue, green, red triple of s as 0x00RRGGBB, for x < n.
void bgr_to_rgb32(const std::uint8_t* s, std::uint32_t* d, int n);

// How many leading blocks of eight columns read fewer than eight source
// pixels from the block's first one, all inside a row of `src_width`:
// gather may copy those eight at a time. `column` is non-decreasing and
// its first n entries are inside the row.
int gatherable_blocks(const std::int32_t* column, int n, int src_width);

// d[x] = s[column[x]] for x < n, the first `blocks` blocks of eight as
// gatherable_blocks allows.
void gather(const std::uint32_t* s, const std::int32_t* column, std::uint32_t* d, int n, int blocks);

}  // namespace reelmix::kernels
