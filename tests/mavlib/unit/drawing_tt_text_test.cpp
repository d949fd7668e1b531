// TrueType text at the image text cursor. Tests that need a font skip when
// no scalable face is installed.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "drawing_test_support.h"
#include "plat/gfx/truetype.h"

using namespace drawtest;

namespace {

constexpr std::uint32_t kGreen = 0x00FF00;

bool have_font() {
    plat::ResolvedFace face;
    return plat::resolve_face("ＭＳ ゴシック", face);
}

#define REQUIRE_FONT() \
    if (!have_font()) GTEST_SKIP() << "no TrueType face installed"

class TrueTypeText : public DrawingTest {};

struct Bounds {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
};
Bounds bounds(const PointSet& s) {
    Bounds b;
    for (auto [x, y] : s) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
    }
    return b;
}

TEST_F(TrueTypeText, DrawsInTheTextColourInsideTheCellAndAdvances) {
    REQUIRE_FONT();
    ScratchImage img(64, 40);
    mav_tttc = int(kGreen);
    mav_tx = 5;
    mav_ty = 30;  // baseline row; the 16-pixel cell is rows 15..30
    MAV_PutTTChar('W');
    const PointSet ink = img.with(kGreen);
    ASSERT_FALSE(ink.empty());
    EXPECT_EQ(img.not_equal(0), ink);  // single colour, transparent background
    const Bounds b = bounds(ink);
    EXPECT_GE(b.top, 15);
    EXPECT_LE(b.bottom, 30);
    EXPECT_GE(b.left, 5);
    EXPECT_GT(mav_tx, 5);
    EXPECT_LE(b.right, mav_tx + 1);
    EXPECT_EQ(mav_ty, 30);
}

TEST_F(TrueTypeText, TheTopByteOfTheColourIsIgnored) {
    REQUIRE_FONT();
    ScratchImage img(32, 32);
    mav_tttc = int(0x7F00FF00);
    mav_ty = 20;
    MAV_PutTTChar('H');
    EXPECT_FALSE(img.with(kGreen).empty());
    EXPECT_EQ(img.not_equal(0), img.with(kGreen));
}

TEST_F(TrueTypeText, NewlineCodeUsesTheStoredHeight) {
    // Works without any font.
    ScratchImage img(8, 8);
    mav_tx0 = 3;
    mav_tx = 40;
    mav_ty = 16;
    MAV_PutTTChar(10);
    EXPECT_EQ(mav_tx, 3);
    EXPECT_EQ(mav_ty, 32);
    MAV_SetTTFontSize(20, 24);
    MAV_PutTTChar(10);
    EXPECT_EQ(mav_ty, 56);
    EXPECT_EQ(mav::tt_font_height(), 24);
    EXPECT_EQ(mav::tt_font_width(), 20);
    // Other control codes do nothing.
    for (int c : {0, 7, 9, 13, 31, -5, INT_MIN}) MAV_PutTTChar(c);
    EXPECT_EQ(mav_tx, 3);
    EXPECT_EQ(mav_ty, 56);
    EXPECT_TRUE(img.not_equal(0).empty());
}

TEST_F(TrueTypeText, LargerFontSizeDrawsLargerGlyphs) {
    REQUIRE_FONT();
    ScratchImage img(80, 80);
    mav_tttc = int(kGreen);
    mav_ty = 70;
    MAV_PutTTChar('H');
    const Bounds small = bounds(img.with(kGreen));
    const int small_advance = mav_tx;

    img.fill(0);
    mav_tx = 0;
    ASSERT_EQ(MAV_SetTTFontSize(32, 48), 0);
    MAV_PutTTChar('H');
    const Bounds large = bounds(img.with(kGreen));
    EXPECT_GT(large.bottom - large.top, 2 * (small.bottom - small.top));
    EXPECT_GT(mav_tx, small_advance);
    EXPECT_GE(large.top, 70 - 48 + 1);
    EXPECT_LE(large.bottom, 70);
}

TEST_F(TrueTypeText, AFontThatCannotBeMadeDrawsNothingAndNeverCrashes) {
    ScratchImage img(40, 40);
    mav_tttc = int(kGreen);
    mav_tx = 4;
    mav_ty = 30;
    EXPECT_EQ(MAV_SetTTFontSize(200000, 100000), 1);
    MAV_PutTTChar('A');
    MAV_PutTTString("abc\x82\xA0");
    MAV_PutTTChar(3);
    MAV_PutTTChar('B');
    EXPECT_EQ(mav_tx, 4);
    EXPECT_TRUE(img.not_equal(0).empty());
    if (have_font()) {
        EXPECT_EQ(MAV_SetTTFontSize(16, 16), 0);
        MAV_PutTTChar('A');
        EXPECT_GT(mav_tx, 4);
    }
}

TEST_F(TrueTypeText, DoubleByteCharactersAreOneCharacter) {
    REQUIRE_FONT();
    ScratchImage img(64, 32);
    mav_tttc = int(kGreen);
    mav_ty = 20;
    MAV_PutTTString("\x82\xA0");  // HIRAGANA A
    const PointSet walked = img.with(kGreen);
    const int walked_tx = mav_tx;
    ASSERT_FALSE(walked.empty());

    img.fill(0);
    mav_tx = 0;
    MAV_PutTTChar(0x82A0);
    EXPECT_EQ(img.with(kGreen), walked);
    EXPECT_EQ(mav_tx, walked_tx);
}

TEST_F(TrueTypeText, ALeadByteAtTheEndEndsTheString) {
    REQUIRE_FONT();
    ScratchImage img(64, 32);
    mav_tttc = int(kGreen);
    mav_ty = 20;
    MAV_PutTTString("A");
    const PointSet a = img.with(kGreen);
    const int a_tx = mav_tx;

    img.fill(0);
    mav_tx = 0;
    MAV_PutTTString("A\x82");
    EXPECT_EQ(img.with(kGreen), a);
    EXPECT_EQ(mav_tx, a_tx);
}

TEST_F(TrueTypeText, StringsCarryNewlinesAndStyleCodes) {
    REQUIRE_FONT();
    ScratchImage img(64, 64);
    mav_tttc = int(kGreen);
    mav_tx0 = mav_tx = 2;
    mav_ty = 20;
    MAV_PutTTString("ab\ncd");
    EXPECT_EQ(mav_ty, 36);
    EXPECT_GT(mav_tx, 2);
    // Both lines drew.
    const Bounds b = bounds(img.with(kGreen));
    EXPECT_LE(b.top, 20);
    EXPECT_GT(b.bottom, 21);
}

// Pixels of one character drawn at (2, baseline 24) in a fresh image.
PointSet draw_one(ScratchImage& img, int code) {
    img.fill(0);
    mav_tx = 2;
    mav_ty = 24;
    MAV_PutTTChar(code);
    return img.with(kGreen);
}

TEST_F(TrueTypeText, StyleCodesChangeTheFontAndTheirPartnersChangeItBack) {
    REQUIRE_FONT();
    ScratchImage img(40, 32);
    mav_tttc = int(kGreen);
    const PointSet plain = draw_one(img, 'H');

    MAV_PutTTChar(3);
    const PointSet bold = draw_one(img, 'H');
    EXPECT_GT(bold.size(), plain.size());
    MAV_PutTTChar(4);
    EXPECT_EQ(draw_one(img, 'H'), plain);

    MAV_PutTTChar(1);
    const PointSet italic = draw_one(img, 'H');
    EXPECT_NE(italic, plain);
    // Slanted to the right: the top of the glyph moves right of the bottom.
    EXPECT_GT(bounds(italic).right, bounds(plain).right);
    MAV_PutTTChar(2);
    EXPECT_EQ(draw_one(img, 'H'), plain);

    MAV_PutTTChar(5);
    const PointSet underlined = draw_one(img, 'H');
    const int advance = mav_tx - 2;
    EXPECT_TRUE(std::includes(underlined.begin(), underlined.end(), plain.begin(), plain.end()));
    // A full row under the glyph, as wide as the advance.
    bool found_row = false;
    for (int y = bounds(plain).bottom + 1; y < 32 && !found_row; ++y) {
        int n = 0;
        for (int x = 2; x < 2 + advance; ++x) n += underlined.count({x, y}) ? 1 : 0;
        found_row = n == advance;
    }
    EXPECT_TRUE(found_row);
    MAV_PutTTChar(6);
    EXPECT_EQ(draw_one(img, 'H'), plain);
}

TEST_F(TrueTypeText, EightBitImagesGetTheNearestPaletteEntry) {
    REQUIRE_FONT();
    ScratchImage img(32, 32, 8);  // grey ramp palette
    mav_tttc = 0x808080;
    mav_ty = 20;
    MAV_PutTTChar('M');
    EXPECT_FALSE(img.with(0x80).empty());
    EXPECT_EQ(img.not_equal(0), img.with(0x80));
}

TEST_F(TrueTypeText, WithoutACurrentImageTheCursorStillAdvances) {
    REQUIRE_FONT();
    ScratchImage img(32, 32);
    mav::current_image() = 252;
    mav_tx = 0;
    MAV_PutTTChar('M');
    EXPECT_GT(mav_tx, 0);
    mav::current_image() = img.slot();
    EXPECT_TRUE(img.not_equal(0).empty());
}

TEST_F(TrueTypeText, TextFarOutsideTheImageIsClipped) {
    REQUIRE_FONT();
    ScratchImage img(16, 16);
    mav_tttc = int(kGreen);
    for (auto [x, y] : {std::pair{INT_MAX - 2, 5}, std::pair{INT_MIN, INT_MIN}, std::pair{-6, 8},
                        std::pair{12, 20}, std::pair{5, INT_MAX}}) {
        mav_tx = x;
        mav_ty = y;
        MAV_PutTTChar('W');
    }
    for (auto [x, y] : img.not_equal(0)) EXPECT_EQ(img.at(x, y), kGreen);
}

TEST_F(TrueTypeText, TheFontDescriptionCanBeReadAndReplaced) {
    plat::TrueTypeDescription desc = mav::tt_font_description();
    EXPECT_EQ(desc.family, "ＭＳ ゴシック");
    EXPECT_EQ(desc.height, 16);
    EXPECT_EQ(desc.width, 8);
    EXPECT_FALSE(desc.bold || desc.italic || desc.underline);
    MAV_PutTTChar(5);
    EXPECT_TRUE(mav::tt_font_description().underline);
    desc.family = "IPAGothic";
    desc.height = 30;
    EXPECT_EQ(mav::set_tt_font_description(desc), have_font() ? 0 : 1);
    EXPECT_EQ(mav::tt_font_description(), desc);
    // The stored height that places lines is MAV_SetTTFontSize's alone.
    EXPECT_EQ(mav::tt_font_height(), 16);
}

}  // namespace
