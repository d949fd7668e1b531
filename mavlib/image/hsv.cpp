// Integer RGB <-> HSV, as the image information commands print it: s is the
// channel spread (not divided by v), h in whole degrees.
#include <algorithm>
#include <cstdint>

#include "mav/drawing.h"

namespace {

struct Hsv {
    int h, s, v;
};

Hsv to_hsv(int color) {
    const unsigned c = unsigned(color);
    const int r = int((c >> 16) & 0xFF), g = int((c >> 8) & 0xFF), b = int(c & 0xFF);
    const int max = std::max({r, g, b});
    const int min = std::min({r, g, b});
    const int d = max - min;
    Hsv out{0, d, max};
    if (d == 0) return out;
    // Ties go to the first case that matches.
    if (r == max && b == min)
        out.h = (g - b) * 60 / d;
    else if (g == max && b == min)
        out.h = (g - r) * 60 / d + 60;
    else if (g == max && r == min)
        out.h = (b - r) * 60 / d + 120;
    else if (b == max && r == min)
        out.h = (b - g) * 60 / d + 180;
    else if (b == max && g == min)
        out.h = (r - g) * 60 / d + 240;
    else
        out.h = (r - b) * 60 / d + 300;
    return out;
}

}  // namespace

void MAV_RgbToHsv(int color, int* h, int* s, int* v) {
    const Hsv hsv = to_hsv(color);
    if (h) *h = hsv.h;
    if (s) *s = hsv.s;
    if (v) *v = hsv.v;
}

int MAV_Hue(int color) { return to_hsv(color).h; }
int MAV_Saturation(int color) { return to_hsv(color).s; }
int MAV_Value(int color) { return to_hsv(color).v; }

int MAV_HsvToRgb(int v, int s, int h) {
    // 64-bit so that arguments outside 0..255 / 0..359 cannot overflow; the
    // channels are then added unclamped, wrapping like the 32-bit original.
    using i64 = std::int64_t;
    const i64 m = std::max<i64>(i64(v) - s, 0);
    const i64 d = v - m;
    i64 r, g, b;
    if (h < 60) {
        r = v, g = m + i64(h) * d / 60, b = m;
    } else if (h < 120) {
        r = m + d * (120 - i64(h)) / 60, g = v, b = m;
    } else if (h < 180) {
        r = m, g = v, b = m + d * (i64(h) - 120) / 60;
    } else if (h < 240) {
        r = m, g = m + d * (240 - i64(h)) / 60, b = v;
    } else if (h < 300) {
        r = m + d * (i64(h) - 240) / 60, g = m, b = v;
    } else {
        r = v, g = m, b = m + d * (360 - i64(h)) / 60;
    }
    return int(std::uint32_t((std::uint64_t(r) << 16) + (std::uint64_t(g) << 8) + std::uint64_t(b)));
}
