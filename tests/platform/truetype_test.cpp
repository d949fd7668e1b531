// TrueType faces through fontconfig and glyphs through FreeType, drawn on
// small surfaces. Tests that need a face skip when none is installed.
#include "plat/gfx/truetype.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <thread>
#include <vector>

#include "plat/gfx/gfx.h"

namespace {

constexpr plat::Color kInk = 0x00FF00;

bool any_face() {
    plat::ResolvedFace f;
    return plat::resolve_face("monospace", f);
}

#define REQUIRE_FACE() \
    if (!any_face()) GTEST_SKIP() << "no scalable face installed"

plat::TrueTypeFont open(const char* family, int height, int width = 0) {
    plat::TrueTypeDescription desc;
    desc.family = family;
    desc.height = height;
    desc.width = width;
    return plat::TrueTypeFont::open(desc);
}

int count(const plat::Surface& s, plat::Color c) {
    int n = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) n += s.pixel(x, y) == c;
    return n;
}

TEST(TrueType, WindowsGothicResolvesToAnInstalledJapaneseGothic) {
    plat::ResolvedFace ipa;
    if (!plat::resolve_face("IPAGothic", ipa) || ipa.family != "IPAGothic")
        GTEST_SKIP() << "IPAGothic is not installed";
    for (const char* asked : {"ＭＳ ゴシック", "MS Gothic", "ms gothic"}) {
        plat::ResolvedFace f;
        ASSERT_TRUE(plat::resolve_face(asked, f)) << asked;
        EXPECT_EQ(f.file, ipa.file) << asked;
        EXPECT_EQ(f.family, "IPAGothic") << asked;
    }
}

TEST(TrueType, UnknownFamiliesFallBackToAnInstalledFace) {
    REQUIRE_FACE();
    plat::ResolvedFace f;
    ASSERT_TRUE(plat::resolve_face("No Such Family 4711", f));
    EXPECT_FALSE(f.file.empty());
    EXPECT_FALSE(open("No Such Family 4711", 16).is_null());
    EXPECT_FALSE(open("", 16).is_null());
}

TEST(TrueType, CellHeightIsTheRequestedHeight) {
    REQUIRE_FACE();
    for (int h : {8, 16, 24, 40, 100}) {
        plat::TrueTypeFont f = open("ＭＳ ゴシック", h);
        ASSERT_FALSE(f.is_null());
        EXPECT_NEAR(f.ascent() + f.descent(), h, 1) << h;
        EXPECT_GT(f.ascent(), f.descent());
    }
    // Negative heights give the em size, so the cell is at least as tall.
    plat::TrueTypeFont em = open("ＭＳ ゴシック", -20);
    ASSERT_FALSE(em.is_null());
    EXPECT_GE(em.ascent() + em.descent(), 20);
    // 0 is the default size.
    EXPECT_NEAR(open("ＭＳ ゴシック", 0).ascent() + open("ＭＳ ゴシック", 0).descent(), 16, 1);
}

TEST(TrueType, AverageWidthScalesTheGlyphsHorizontally) {
    REQUIRE_FACE();
    plat::TrueTypeFont narrow = open("ＭＳ ゴシック", 32, 8);
    plat::TrueTypeFont wide = open("ＭＳ ゴシック", 32, 24);
    plat::GlyphWidths n, w;
    ASSERT_TRUE(narrow.widths('M', n));
    ASSERT_TRUE(wide.widths('M', w));
    EXPECT_NEAR(double(w.advance) / n.advance, 3.0, 0.5);
}

TEST(TrueType, HalfWidthAndFullWidthAdvancesOfTheGothicFace) {
    plat::ResolvedFace f;
    if (!plat::resolve_face("ＭＳ ゴシック", f) || f.family.rfind("IPA", 0) != 0)
        GTEST_SKIP() << "no IPA gothic face";
    plat::TrueTypeFont font = open("ＭＳ ゴシック", 16, 8);
    plat::GlyphWidths a, kana;
    ASSERT_TRUE(font.widths('A', a));
    ASSERT_TRUE(font.widths(U'あ', kana));
    EXPECT_EQ(a.advance, 8);
    EXPECT_EQ(kana.advance, 16);
}

TEST(TrueType, AbcWidthsAddUpToTheAdvance) {
    REQUIRE_FACE();
    plat::TrueTypeFont f = open("ＭＳ ゴシック", 24);
    for (char32_t cp : {U'A', U'i', U'W', U'j', U' ', U'.', U'あ', char32_t(0x10FFFF)}) {
        plat::GlyphWidths w;
        ASSERT_TRUE(f.widths(cp, w));
        EXPECT_EQ(w.a + w.b + w.c, w.advance) << int(cp);
        EXPECT_GE(w.b, 0);
    }
    plat::GlyphWidths space, i, m;
    f.widths(U' ', space);
    f.widths(U'i', i);
    f.widths(U'W', m);
    EXPECT_GT(space.advance, 0);
    plat::Surface s(40, 40);
    EXPECT_EQ(f.draw(s, {4, 4}, U' ', kInk), space.advance);
    EXPECT_EQ(count(s, kInk), 0);
    EXPECT_LT(i.b, m.b);
}

TEST(TrueType, DrawsTransparentlyInOneColourInsideTheCell) {
    REQUIRE_FACE();
    plat::TrueTypeFont f = open("ＭＳ ゴシック", 20);
    plat::Surface s(40, 40);
    s.fill(0x000080);
    const int advance = f.draw(s, {10, 5}, U'W', kInk);
    EXPECT_GT(advance, 0);
    const int ink = count(s, kInk);
    EXPECT_GT(ink, 10);
    EXPECT_EQ(ink + count(s, 0x000080), 40 * 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            if (s.pixel(x, y) == kInk) {
                EXPECT_GE(y, 5);
                EXPECT_LT(y, 5 + f.ascent() + f.descent());
                EXPECT_GE(x, 10);
                EXPECT_LT(x, 10 + advance + 1);
            }
}

TEST(TrueType, IndexedSurfacesGetTheNearestPaletteEntry) {
    REQUIRE_FACE();
    plat::TrueTypeFont f = open("ＭＳ ゴシック", 20);
    plat::Surface s(30, 30, plat::PixelFormat::Indexed8);
    s.palette()[7] = 0x00F000;  // nearest to pure green
    f.draw(s, {2, 2}, U'H', kInk);
    int sevens = 0, others = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const std::uint8_t v = s.row8(y)[x];
            sevens += v == 7;
            others += v != 7 && v != 0;
        }
    EXPECT_GT(sevens, 0);
    EXPECT_EQ(others, 0);
}

TEST(TrueType, DrawingIsClippedToTheSurface) {
    REQUIRE_FACE();
    plat::TrueTypeDescription desc;
    desc.family = "ＭＳ ゴシック";
    desc.height = 30;
    desc.underline = true;
    desc.italic = true;
    desc.bold = true;
    plat::TrueTypeFont f = plat::TrueTypeFont::open(desc);
    ASSERT_FALSE(f.is_null());
    plat::Surface s(12, 12);
    for (plat::Point p : {plat::Point{-10, -10}, plat::Point{8, 8}, plat::Point{INT_MAX, 0},
                          plat::Point{INT_MIN, INT_MIN}, plat::Point{0, INT_MAX - 5}, plat::Point{-5, 3}})
        f.draw(s, p, U'W', kInk);
    EXPECT_EQ(count(s, kInk) + count(s, 0), 144);
    EXPECT_GT(count(s, kInk), 0);
}

TEST(TrueType, StylesChangeTheGlyph) {
    REQUIRE_FACE();
    auto render = [](bool bold, bool italic, bool underline) {
        plat::TrueTypeDescription desc;
        desc.family = "ＭＳ ゴシック";
        desc.height = 24;
        desc.bold = bold;
        desc.italic = italic;
        desc.underline = underline;
        plat::Surface s(40, 30);
        plat::TrueTypeFont::open(desc).draw(s, {4, 2}, U'H', kInk);
        return s;
    };
    const plat::Surface plain = render(false, false, false);
    const int plain_ink = count(plain, kInk);
    EXPECT_GT(count(render(true, false, false), kInk), plain_ink);
    EXPECT_GT(count(render(false, false, true), kInk), plain_ink);
    const plat::Surface italic = render(false, true, false);
    // The top row of ink moves right, the bottom row stays.
    auto first_ink_x = [](const plat::Surface& s, bool from_top) {
        for (int i = 0; i < s.height(); ++i) {
            const int y = from_top ? i : s.height() - 1 - i;
            for (int x = 0; x < s.width(); ++x)
                if (s.pixel(x, y) == kInk) return x;
        }
        return -1;
    };
    EXPECT_GT(first_ink_x(italic, true), first_ink_x(plain, true));
    EXPECT_NEAR(first_ink_x(italic, false), first_ink_x(plain, false), 1);
}

TEST(TrueType, NullFontsDoNothing) {
    plat::TrueTypeFont none;
    EXPECT_TRUE(none.is_null());
    plat::Surface s(8, 8);
    EXPECT_EQ(none.draw(s, {0, 0}, U'A', kInk), 0);
    plat::GlyphWidths w;
    EXPECT_FALSE(none.widths(U'A', w));
    EXPECT_EQ(none.ascent(), 0);
    EXPECT_EQ(count(s, 0), 64);
}

TEST(TrueType, OversizedRequestsAreRefused) {
    EXPECT_TRUE(open("ＭＳ ゴシック", plat::TrueTypeFont::kMaxPixelSize + 1).is_null());
    EXPECT_TRUE(open("ＭＳ ゴシック", 16, -(plat::TrueTypeFont::kMaxPixelSize + 1)).is_null());
    EXPECT_TRUE(open("ＭＳ ゴシック", INT_MIN).is_null());
}

TEST(TrueType, FontsCanBeUsedFromSeveralThreads) {
    REQUIRE_FACE();
    std::vector<std::thread> threads;
    std::vector<int> inks(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &inks] {
            plat::Surface s(64, 64);
            for (int i = 0; i < 50; ++i) {
                plat::TrueTypeFont f = open("ＭＳ ゴシック", 12 + t + i % 5);
                f.draw(s, {i % 40, i % 30}, char32_t(U'A' + i % 26), kInk);
            }
            inks[std::size_t(t)] = count(s, kInk);
        });
    for (auto& th : threads) th.join();
    for (int n : inks) EXPECT_GT(n, 0);
}

}  // namespace
