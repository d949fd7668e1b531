// The colour-space formulas of the image information commands and test
// patterns: 16-bit fixed point with rounding by +32768, and C++ division,
// which truncates toward zero for negative numerators as the printed values
// expect (pure red has Cb -42, not -43).
#pragma once

#include <cstdint>

namespace mav::colour {

struct Rgb {
    int r, g, b;
};

constexpr Rgb channels(int pixel) {
    const unsigned p = unsigned(pixel);
    return {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
}

constexpr int fixed(int weighted_sum) { return (weighted_sum + 32768) / 65536; }

constexpr int luma(Rgb c) { return fixed(19595 * c.r + 38470 * c.g + 7471 * c.b); }
constexpr int cr(Rgb c) { return fixed(32768 * c.r - 27460 * c.g - 5308 * c.b); }
constexpr int cb(Rgb c) { return fixed(32768 * c.b - 11076 * c.r - 21692 * c.g); }
constexpr int u(Rgb c) { return fixed(28574 * c.b - 9634 * c.r - 18940 * c.g); }
constexpr int v(Rgb c) { return fixed(40305 * c.r - 33751 * c.g - 6554 * c.b); }
constexpr int i(Rgb c) { return fixed(39053 * c.r - 18022 * c.g - 21037 * c.b); }
constexpr int q(Rgb c) { return fixed(13533 * c.r - 32565 * c.g + 19032 * c.b); }

static_assert(luma({255, 0, 0}) == 76 && cr({255, 0, 0}) == 128 && cb({255, 0, 0}) == -42);
static_assert(u({255, 0, 0}) == -36 && v({255, 0, 0}) == 157);
static_assert(i({255, 0, 0}) == 152 && q({255, 0, 0}) == 53);

}  // namespace mav::colour
