// Integer RGB <-> HSV.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "mav/drawing.h"

namespace {

struct Hsv {
    int h, s, v;
    bool operator==(const Hsv&) const = default;
};

Hsv hsv(int color) {
    Hsv out{-1, -1, -1};
    MAV_RgbToHsv(color, &out.h, &out.s, &out.v);
    EXPECT_EQ(MAV_Hue(color), out.h);
    EXPECT_EQ(MAV_Saturation(color), out.s);
    EXPECT_EQ(MAV_Value(color), out.v);
    return out;
}

TEST(Hsv, PureRedIsHueZeroFullSaturationAndValue) { EXPECT_EQ(hsv(0x00FF0000), (Hsv{0, 255, 255})); }

TEST(Hsv, FullGreenFromHue120) { EXPECT_EQ(MAV_HsvToRgb(255, 255, 120), 0x0000FF00); }

TEST(Hsv, PrimariesAndSecondariesLandOnTheirSixtyDegreeMarks) {
    EXPECT_EQ(hsv(0xFFFF00).h, 60);
    EXPECT_EQ(hsv(0x00FF00).h, 120);
    EXPECT_EQ(hsv(0x00FFFF).h, 180);
    EXPECT_EQ(hsv(0x0000FF).h, 240);
    EXPECT_EQ(hsv(0xFF00FF).h, 300);
}

TEST(Hsv, PrimariesAndSecondariesBothWays) {
    const struct {
        int rgb, h;
    } marks[] = {{0xFF0000, 0}, {0xFFFF00, 60}, {0x00FF00, 120}, {0x00FFFF, 180}, {0x0000FF, 240}, {0xFF00FF, 300}};
    for (const auto& m : marks) {
        EXPECT_EQ(hsv(m.rgb), (Hsv{m.h, 255, 255})) << std::hex << m.rgb;
        EXPECT_EQ(MAV_HsvToRgb(255, 255, m.h), m.rgb) << m.h;
        // Half value, full saturation: the same hue at half brightness.
        const int half = (m.rgb >> 1) & 0x7F7F7F;
        EXPECT_EQ(hsv(half), (Hsv{m.h, 127, 127})) << std::hex << half;
        EXPECT_EQ(MAV_HsvToRgb(127, 127, m.h), half) << m.h;
    }
}

TEST(Hsv, KnownColoursBackToRgb) {
    EXPECT_EQ(MAV_HsvToRgb(128, 64, 60), 0x808040);  // the olive above, back again
    EXPECT_EQ(MAV_HsvToRgb(200, 100, 90), 0x96C864);
    EXPECT_EQ(hsv(0x96C864), (Hsv{90, 100, 200}));
    EXPECT_EQ(MAV_HsvToRgb(64, 0, 123), 0x404040);  // no spread: a grey whatever the hue
    EXPECT_EQ(MAV_HsvToRgb(0, 0, 0), 0);
    EXPECT_EQ(MAV_HsvToRgb(255, 0, 0), 0xFFFFFF);
}

TEST(Hsv, GreysRoundTripExactly) {
    for (int v = 0; v < 256; ++v) {
        const int grey = v << 16 | v << 8 | v;
        EXPECT_EQ(hsv(grey), (Hsv{0, 0, v})) << v;
        EXPECT_EQ(MAV_HsvToRgb(v, 0, 0), grey) << v;
    }
}

// RGB -> HSV -> RGB over every colour: the largest and smallest channels come
// back exactly, the middle one within the rounding of a whole degree; when the
// spread divides 60 (a degree is a whole number of steps) or the colour is at
// full saturation and value with a middle channel on a multiple of 17, it
// comes back exactly.
TEST(Hsv, RgbToHsvToRgbRoundTrips) {
    int wrong = 0, exact = 0;
    for (int c = 0; c < 0x1000000; ++c) {
        int h, s, v;
        MAV_RgbToHsv(c, &h, &s, &v);
        const int back = MAV_HsvToRgb(v, s, h);
        const int rgb[3] = {c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF};
        const int got[3] = {back >> 16 & 0xFF, back >> 8 & 0xFF, back & 0xFF};
        const int hi = std::max({rgb[0], rgb[1], rgb[2]}), lo = std::min({rgb[0], rgb[1], rgb[2]});
        const int spread = hi - lo;
        const bool must_be_exact = spread == 0 || 60 % spread == 0 ||
                                   (hi == 255 && lo == 0 && (rgb[0] + rgb[1] + rgb[2] - 255) % 17 == 0);
        bool ok = (back & ~0xFFFFFF) == 0;
        for (int i = 0; i < 3; ++i) {
            if (rgb[i] == hi || rgb[i] == lo)
                ok = ok && got[i] == rgb[i];
            else
                ok = ok && std::abs(got[i] - rgb[i]) <= spread / 60 + 1;
        }
        if (must_be_exact) {
            ok = ok && back == c;
            ++exact;
        }
        if (!ok && wrong++ < 5)
            ADD_FAILURE() << std::hex << c << " -> h " << std::dec << h << " s " << s << " v " << v << " -> "
                          << std::hex << back;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(exact, 10000);
}

TEST(Hsv, SaturationIsTheChannelSpreadNotARatio) {
    EXPECT_EQ(hsv(0x808040), (Hsv{60, 64, 128}));
    EXPECT_EQ(hsv(0x404040), (Hsv{0, 0, 64}));
    EXPECT_EQ(hsv(0), (Hsv{0, 0, 0}));
}

TEST(Hsv, HueStaysBelow360) { EXPECT_EQ(hsv(0xFF0001).h, 359); }

TEST(Hsv, OnlyTheLowThreeBytesCount) { EXPECT_EQ(hsv(int(0xAB00FF00)), hsv(0x0000FF00)); }

TEST(Hsv, NullOutputsAreSkipped) {
    int v = -1;
    MAV_RgbToHsv(0x102030, nullptr, nullptr, &v);
    EXPECT_EQ(v, 0x30);
}

TEST(Hsv, HsvToRgbBySector) {
    // One colour per sixty-degree sector, v 200 s 100: the smallest channel
    // is 100, the largest 200, the third one 150 at mid-sector.
    EXPECT_EQ(MAV_HsvToRgb(200, 100, 30), 0xC89664);
    EXPECT_EQ(MAV_HsvToRgb(200, 100, 90), 0x96C864);
    EXPECT_EQ(MAV_HsvToRgb(200, 100, 150), 0x64C896);
    EXPECT_EQ(MAV_HsvToRgb(200, 100, 210), 0x6496C8);
    EXPECT_EQ(MAV_HsvToRgb(200, 100, 270), 0x9664C8);
    EXPECT_EQ(MAV_HsvToRgb(200, 100, 330), 0xC86496);
    EXPECT_EQ(MAV_HsvToRgb(200, 300, 30), 0xC86400);  // a spread above v: the smallest channel is 0
    EXPECT_EQ(MAV_HsvToRgb(128, 0, 200), 0x808080);
    EXPECT_EQ(MAV_HsvToRgb(255, 255, 359), 0xFF0004);
}

TEST(Hsv, HsvToRgbAddsChannelsUnclamped) {
    // 300 in every channel carries into the next one up (0x12C each).
    EXPECT_EQ(MAV_HsvToRgb(300, 0, 0), 0x012D2D2C);
    MAV_HsvToRgb(2147483647, -2147483647 - 1, -2147483647 - 1);  // no overflow trap
}

TEST(Hsv, RoundTripAtFullSaturationKeepsTheHueWithinADegree) {
    for (int h = 0; h < 360; ++h) {
        const Hsv back = hsv(MAV_HsvToRgb(255, 255, h));
        EXPECT_LE(std::abs(back.h - h), 1) << h;
        EXPECT_EQ(back.s, 255) << h;
        EXPECT_EQ(back.v, 255) << h;
    }
}

}  // namespace
