// Integer RGB <-> HSV.
#include <gtest/gtest.h>

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
    // m = v - s floored at 0; the ramp channel is m + d * part / 60.
    EXPECT_EQ(MAV_HsvToRgb(200, 300, 30), 0xC86400);
    EXPECT_EQ(MAV_HsvToRgb(200, 100, 90), (100 + 100 * 30 / 60) << 16 | 200 << 8 | 100);
    EXPECT_EQ(MAV_HsvToRgb(128, 0, 200), 0x808080);
    EXPECT_EQ(MAV_HsvToRgb(255, 255, 359), 0xFF0004);
}

TEST(Hsv, HsvToRgbAddsChannelsUnclamped) {
    EXPECT_EQ(MAV_HsvToRgb(300, 0, 0), (300 << 16) + (300 << 8) + 300);
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
