// The six test patterns, drawn over the whole current image with the pixel
// calls (8-bit images keep the low byte of each colour, as MAV_SetPixel
// stores it). Integer arithmetic in 64 bits, so that no image size can
// overflow a product; "/" truncates toward zero as the patterns expect.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image/image_table.h"
#include "image/measurements.h"
#include "mavlib.h"

namespace mav {

namespace {

using i64 = std::int64_t;

struct Extent {
    i64 w, h;
};

int pack(i64 r, i64 g, i64 b) { return int((r << 16) + (g << 8) + b); }
int clamp_channel(i64 fixed_sum) { return int(std::clamp<i64>((fixed_sum + 32768) / 65536, 0, 255)); }
// A quotient whose divisor may be 0 on a one-row image; the numerator is
// then 0 as well, and so is the quotient.
i64 share(i64 num, i64 den) { return den == 0 ? 0 : num / den; }

void rgb_ramps(Extent e) {
    for (i64 i = 0; i < e.h; ++i)
        for (i64 j = 0; j < e.w; ++j)
            MAV_SetPixel(int(j), int(i), pack(255 * j / e.w, 255 * i / e.h, 255 - 255 * (i + j) / (e.w + e.h)));
}

// Hue across; saturation rising over the top half, value falling below it.
void hsv_field(Extent e) {
    const i64 n = e.h / 2;
    for (i64 i = 0; i < e.h; ++i)
        for (i64 j = 0; j < e.w; ++j) {
            const i64 hue = 359 * j / e.w;
            const i64 s = i < n ? share(255 * i, n) : 255;
            const i64 v = i < n ? 255 : 255 - share((i - n) * 255, n);
            MAV_SetPixel(int(j), int(i), MAV_HsvToRgb(int(v), int(s), int(hue)));
        }
}

// Coefficients that turn the centred colour-difference pair (a, b) and the
// brightness L back into R, G and B for one colour space.
struct DifferenceSpace {
    i64 ra, rb, ga, gb, ba, bb;
};
constexpr DifferenceSpace kYCrCb{0, -91881, -22544, 46793, 116130, 0};
constexpr DifferenceSpace kYuv{0, -74711, -25952, 38076, 132973, 0};
constexpr DifferenceSpace kYiq{42998, -62187, -44872, 17334, 118292, 73859};

// Brightness grows with the distance from the centre, the hue turns round it.
void colour_difference_wheel(Extent e, const DifferenceSpace& k) {
    for (i64 i = 0; i < e.h; ++i)
        for (i64 j = 0; j < e.w; ++j) {
            const i64 a = (j - e.w / 2) * 255 / e.w;
            const i64 b = (i - e.h / 2) * 255 / e.h;
            const i64 l = i64(std::sqrt(double(5 * a * a + 5 * b * b))) << 16;
            MAV_SetPixel(int(j), int(i),
                         pack(clamp_channel(l + k.ra * a + k.rb * b), clamp_channel(l + k.ga * a + k.gb * b),
                              clamp_channel(l + k.ba * a + k.bb * b)));
        }
}

void set_grey_palette() {
    MAV_RGBQUAD ramp[256];
    for (int k = 0; k < 256; ++k) {
        const auto c = static_cast<unsigned char>(k);
        ramp[k] = {c, c, c, 0};
    }
    MAV_SetPalette(ramp, 256);
}

// A rising grey ramp over a falling one, one vertical line per column.
void grey_ramps(Extent e, int bits) {
    if (bits == 8) set_grey_palette();
    for (i64 i = 0; i < e.w; ++i) {
        const int g = int(255 * i / e.w);
        MAV_Line(g * 0x010101, int(i), 0, int(i), int(e.h / 2 - 1));
        MAV_Line(0xFFFFFF - g * 0x010101, int(i), int(e.h / 2), int(i), int(e.h - 1));
    }
}

}  // namespace

bool draw_test_pattern(int command) {
    const int index = MAV_GetCurrentImage();
    const Extent e{MAV_GetImageWidth(index), MAV_GetImageHeight(index)};
    if (e.w <= 0 || e.h <= 0) return false;
    switch (command) {
    case cmd::kPatternRgb: rgb_ramps(e); return true;
    case cmd::kPatternHsv: hsv_field(e); return true;
    case cmd::kPatternYCrCb: colour_difference_wheel(e, kYCrCb); return true;
    case cmd::kPatternYuv: colour_difference_wheel(e, kYuv); return true;
    case cmd::kPatternYiq: colour_difference_wheel(e, kYiq); return true;
    case cmd::kPatternGrey: grey_ramps(e, MAV_GetImageBits(index)); return true;
    default: return false;
    }
}

void test_pattern_command(int command, int index) {
    const bool known = command == cmd::kPatternRgb || command == cmd::kPatternHsv || command == cmd::kPatternYCrCb ||
                       command == cmd::kPatternYuv || command == cmd::kPatternYiq || command == cmd::kPatternGrey;
    if (!known || !valid_image_index(index) || !image_record(index).in_use.load()) return;
    if (MAV_SelectImageByWindow(image_record(index).hwnd.id) < 0) return;
    if (draw_test_pattern(command)) MAV_Refresh(MAV_GetCurrentImage());
}

}  // namespace mav
