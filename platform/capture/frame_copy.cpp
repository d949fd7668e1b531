// A camera's frame into a destination block: 640 x 480 words 0x00RRGGBB,
// top row first. Same-size frames are converted row by row; other sizes take
// the nearest source pixel (the one under each destination pixel's centre).
//
// The block is read by another thread while frames arrive, without a lock, by
// design (a picture may mix two frames). Each row is converted into a local
// buffer and stored word by word as relaxed atomics: on x86 and ARM these are
// plain stores, and the sharing is no data race in the language's sense.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "plat/capture/capture.h"

namespace plat::capture {

namespace {

int bytes_per_pixel(PixelLayout layout) { return layout == PixelLayout::Xrgb32 ? 4 : 3; }

bool well_formed(const FrameView& f) {
    if (!f.data || f.width <= 0 || f.height <= 0) return false;
    const std::size_t row_bytes = std::size_t(f.width) * bytes_per_pixel(f.layout);
    if (f.stride < 0 || std::size_t(f.stride) < row_bytes) return false;
    const std::size_t needed = std::size_t(f.stride) * std::size_t(f.height - 1) + row_bytes;
    return f.length >= needed;
}

static_assert(kFrameWidth % 4 == 0, "rows are converted four pixels at a time");

// One destination row of the same width from source row `src`.
void convert_row(PixelLayout layout, const std::uint8_t* __restrict src, std::uint32_t* __restrict out) {
    switch (layout) {
    case PixelLayout::Xrgb32:
        std::memcpy(out, src, std::size_t(kFrameWidth) * 4);
        for (int x = 0; x < kFrameWidth; ++x) out[x] &= 0x00FFFFFF;
        break;
    case PixelLayout::Bgr24:
        // Four pixels from three little-endian words: b0 g0 r0 b1 | g1 r1 b2 g2 | r2 b3 g3 r3.
        for (int x = 0; x < kFrameWidth; x += 4, src += 12) {
            std::uint32_t w[3];
            std::memcpy(w, src, 12);
            out[x] = w[0] & 0xFFFFFF;
            out[x + 1] = w[0] >> 24 | (w[1] & 0xFFFF) << 8;
            out[x + 2] = w[1] >> 16 | (w[2] & 0xFF) << 16;
            out[x + 3] = w[2] >> 8;
        }
        break;
    case PixelLayout::Rgb24:
        for (int x = 0; x < kFrameWidth; ++x, src += 3)
            out[x] = std::uint32_t(src[0]) << 16 | std::uint32_t(src[1]) << 8 | src[2];
        break;
    }
}

// One destination row from source row `src`, reading source pixel cols[x].
void resample_row(PixelLayout layout, const std::uint8_t* src, const int* cols, std::uint32_t* out) {
    switch (layout) {
    case PixelLayout::Xrgb32:
        for (int x = 0; x < kFrameWidth; ++x) {
            std::uint32_t w;
            std::memcpy(&w, src + 4 * std::size_t(cols[x]), 4);
            out[x] = w & 0x00FFFFFF;
        }
        break;
    case PixelLayout::Bgr24:
        for (int x = 0; x < kFrameWidth; ++x) {
            const std::uint8_t* p = src + 3 * std::size_t(cols[x]);
            out[x] = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
        }
        break;
    case PixelLayout::Rgb24:
        for (int x = 0; x < kFrameWidth; ++x) {
            const std::uint8_t* p = src + 3 * std::size_t(cols[x]);
            out[x] = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
        }
        break;
    }
}

// The source index under the centre of destination index d of n, for a source of s.
int nearest(int d, int n, int s) { return int((2 * std::int64_t(d) + 1) * s / (2 * std::int64_t(n))); }

void store_row(const std::uint32_t* row, std::uint32_t* dest) {
    for (int x = 0; x < kFrameWidth; ++x) std::atomic_ref<std::uint32_t>(dest[x]).store(row[x], std::memory_order_relaxed);
}

}  // namespace

std::size_t copy_frame(const FrameView& frame, void* dest, std::size_t dest_bytes) {
    if (!dest || !well_formed(frame)) return 0;
    constexpr std::size_t kRowBytes = std::size_t(kFrameWidth) * 4;
    const int rows = int(std::min<std::size_t>(dest_bytes / kRowBytes, kFrameHeight));
    auto* out = static_cast<std::uint8_t*>(dest);
    const bool same_size = frame.width == kFrameWidth && frame.height == kFrameHeight;
    std::uint32_t row[kFrameWidth];
    int cols[kFrameWidth];
    if (!same_size)
        for (int x = 0; x < kFrameWidth; ++x) cols[x] = nearest(x, kFrameWidth, frame.width);
    for (int y = 0; y < rows; ++y) {
        const int sy = same_size ? y : nearest(y, kFrameHeight, frame.height);
        const std::uint8_t* src = frame.data + std::size_t(sy) * std::size_t(frame.stride);
        if (same_size)
            convert_row(frame.layout, src, row);
        else
            resample_row(frame.layout, src, cols, row);
        store_row(row, reinterpret_cast<std::uint32_t*>(out + std::size_t(y) * kRowBytes));
    }
    return std::size_t(rows) * kRowBytes;
}

}  // namespace plat::capture
