// Pixel surfaces.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "plat/gfx/gfx.h"

namespace plat {

namespace {

// Large enough for any picture the programs handle (a 16384 x 16384 Rgb32
// surface), small enough that a bogus size fails here instead of in the
// allocator.
constexpr std::int64_t kMaxSurfaceBytes = std::int64_t(1) << 30;

}  // namespace

Surface::Surface(int width, int height, PixelFormat format) : format_(format) {
    for (int i = 0; i < 256; ++i) palette_[i] = rgb(i, i, i);
    if (width <= 0 || height <= 0) return;

    // 64-bit arithmetic: width * 4 alone can overflow an int.
    const std::int64_t stride =
        format == PixelFormat::Rgb32 ? std::int64_t(width) * 4 : (std::int64_t(width) + 3) / 4 * 4;
    if (stride > kMaxSurfaceBytes || stride * height > kMaxSurfaceBytes) return;

    pixels_.assign(std::size_t(stride) * std::size_t(height), 0);
    width_ = width;
    height_ = height;
    stride_ = int(stride);
}

Color Surface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    if (format_ == PixelFormat::Rgb32) return row32(y)[x];
    return palette_[row8(y)[x]];
}

void Surface::set_pixel(int x, int y, Color value) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    if (format_ == PixelFormat::Rgb32)
        row32(y)[x] = value;
    else
        row8(y)[x] = std::uint8_t(value);
}

void Surface::fill(Color value) {
    // Row by row, so the padding of Indexed8 rows stays as it was.
    for (int y = 0; y < height_; ++y) {
        if (format_ == PixelFormat::Rgb32)
            std::fill_n(row32(y), width_, value);
        else
            std::memset(row8(y), int(value & 0xFF), std::size_t(width_));
    }
}

}  // namespace plat
