// The six test patterns: every pixel of each pattern, on both depths and on
// even, odd and one-row sizes, against the pattern worked out here from its
// formulas; and the pattern command on a real window (selection, repaint).
#include <cmath>
#include <cstdint>
#include <functional>

#include "drawing_test_support.h"
#include "image/measurements.h"
#include "mavlib.h"
#include "plat/driver/driver.h"
#include "plat/core/window.h"
#include "support/library_classes.h"
#include "support/ui_thread.h"

using namespace drawtest;

namespace {

using Pattern = std::function<std::uint32_t(int j, int i, int w, int h)>;

std::uint32_t rgb(int r, int g, int b) { return std::uint32_t((r << 16) + (g << 8) + b); }
int clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

std::uint32_t rgb_ramps(int j, int i, int w, int h) {
    return rgb(255 * j / w, 255 * i / h, 255 - 255 * (i + j) / (w + h));
}

std::uint32_t hsv_field(int j, int i, int w, int h) {
    const int n = h / 2;
    const int hue = 359 * j / w;
    if (i < n) return std::uint32_t(MAV_HsvToRgb(255, 255 * i / n, hue));
    const int v = n == 0 ? 255 : 255 - (i - n) * 255 / n;  // one row: no lower half to darken
    return std::uint32_t(MAV_HsvToRgb(v, 255, hue));
}

// The three colour-difference wheels: R, G, B from the brightness and the
// centred pair (a, b), each coefficient pair as written for its space.
struct Wheel {
    int ra, rb, ga, gb, ba, bb;
};
Pattern wheel(Wheel k) {
    return [k](int j, int i, int w, int h) {
        const int a = (j - w / 2) * 255 / w;
        const int b = (i - h / 2) * 255 / h;
        const int l = int(std::sqrt(double(5 * a * a + 5 * b * b))) << 16;
        auto channel = [l](int sum) { return clamp255((l + sum + 32768) / 65536); };
        return rgb(channel(k.ra * a + k.rb * b), channel(k.ga * a + k.gb * b), channel(k.ba * a + k.bb * b));
    };
}

std::uint32_t grey_ramps(int j, int i, int w, int h) {
    const int g = 255 * j / w;
    return i < h / 2 ? std::uint32_t(g * 0x010101) : std::uint32_t(0xFFFFFF - g * 0x010101);
}

struct Case {
    int command;
    const char* name;
    Pattern pattern;
};

const Case kCases[] = {
    {mav::cmd::kPatternRgb, "RGB", rgb_ramps},
    {mav::cmd::kPatternHsv, "HSV", hsv_field},
    {mav::cmd::kPatternYCrCb, "YCrCb", wheel({0, -91881, -22544, 46793, 116130, 0})},
    {mav::cmd::kPatternYuv, "Yuv", wheel({0, -74711, -25952, 38076, 132973, 0})},
    {mav::cmd::kPatternYiq, "YIQ", wheel({42998, -62187, -44872, 17334, 118292, 73859})},
    {mav::cmd::kPatternGrey, "Grey", grey_ramps},
};

class TestPatterns : public DrawingTest {};

}  // namespace

TEST_F(TestPatterns, EveryPixelOfEveryPatternOnBothDepths) {
    const std::pair<int, int> sizes[] = {{256, 256}, {37, 23}, {6, 1}};
    for (const Case& c : kCases)
        for (auto [w, h] : sizes)
            for (int bits : {32, 8}) {
                SCOPED_TRACE(::testing::Message() << c.name << " " << w << "x" << h << " " << bits << "-bit");
                ScratchImage img(w, h, bits);
                img.fill(0x5A5A5A);
                ASSERT_TRUE(mav::draw_test_pattern(c.command));
                int wrong = 0;
                for (int i = 0; i < h; ++i)
                    for (int j = 0; j < w; ++j) {
                        const std::uint32_t want = c.pattern(j, i, w, h) & (bits == 8 ? 0xFFu : 0xFFFFFFFFu);
                        if (img.at(j, i) != want && ++wrong <= 3)
                            ADD_FAILURE() << "(" << j << "," << i << ") is " << std::hex << img.at(j, i) << ", want "
                                          << want;
                    }
                EXPECT_EQ(wrong, 0);
            }
}

TEST_F(TestPatterns, CornersCentresAndTheGreyPalette) {
    {
        ScratchImage img(256, 256);
        ASSERT_TRUE(mav::draw_test_pattern(mav::cmd::kPatternRgb));
        EXPECT_EQ(img.at(0, 0), 0x0000FFu);
        EXPECT_EQ(img.at(255, 255), 0xFEFE01u);
        for (int command : {mav::cmd::kPatternYCrCb, mav::cmd::kPatternYuv, mav::cmd::kPatternYiq}) {
            img.fill(0xFFFFFF);
            ASSERT_TRUE(mav::draw_test_pattern(command));
            EXPECT_EQ(img.at(128, 128), 0u) << command;
            EXPECT_NE(img.at(0, 0), 0u) << command;
        }
    }
    {
        ScratchImage img(16, 4, 8);
        MAV_RGBQUAD red[256];
        for (auto& e : red) e = {0, 0, 255, 0};
        MAV_SetPalette(red, 256);
        ASSERT_TRUE(mav::draw_test_pattern(mav::cmd::kPatternGrey));
        for (int k = 0; k < 256; ++k) ASSERT_EQ(img.surface().palette()[std::size_t(k)], plat::rgb(k, k, k)) << k;
        // An ordinary pattern leaves the palette alone.
        MAV_SetPalette(red, 256);
        ASSERT_TRUE(mav::draw_test_pattern(mav::cmd::kPatternRgb));
        EXPECT_EQ(img.surface().palette()[7], plat::rgb(255, 0, 0));
    }
    EXPECT_FALSE(mav::draw_test_pattern(1056));
}

TEST(TestPatternCommand, SelectsTheClickedImageDrawsAndRepaints) {
    testsupport::register_library_window_classes();
    testsupport::UiThread ui;
    ASSERT_EQ(ui.run([] { return MAV_CreateImage(3, "pattern", 10, 10, 200, 150, 100); }), 0);
    ASSERT_EQ(ui.run([] { return MAV_CreateImage(4, "other", 300, 10, 50, 50, 100); }), 0);
    ASSERT_EQ(MAV_GetCurrentImage(), 4);
    ui.run([] { mav::test_pattern_command(mav::cmd::kPatternRgb, 3); });
    EXPECT_EQ(MAV_GetCurrentImage(), 3);
    const plat::Hwnd h = mav::image_record(3).hwnd;
    const plat::Surface shot = plat::capture_window_pixels(h);
    const plat::Point o = plat::client_origin(h);
    const plat::Point wo = plat::window_rect(h).top_left();
    const auto* px = static_cast<const std::uint32_t*>(mav_bits[3]);
    int wrong = 0;
    for (int i = 0; i < 150; ++i)
        for (int j = 0; j < 200; ++j) {
            const std::uint32_t want = rgb_ramps(j, i, 200, 150);
            if (px[i * 200 + j] != want || shot.pixel(o.x - wo.x + j, o.y - wo.y + i) != want) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
    // Absent images and unknown commands change nothing.
    ui.run([] {
        mav::test_pattern_command(mav::cmd::kPatternHsv, 9);
        mav::test_pattern_command(1056, 4);
    });
    EXPECT_EQ(MAV_GetCurrentImage(), 3);
    ui.run([] {
        MAV_DestroyImage(3);
        MAV_DestroyImage(4);
    });
}
