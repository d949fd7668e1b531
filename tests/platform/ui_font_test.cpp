// The font of control captions: a proportional face where one is installed,
// the fixed-cell font otherwise, and the fixed-cell font's glyphs for what
// the face lacks, on the face's baseline.
#include "plat/ui_font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/gfx.h"
#include "plat/truetype.h"

using namespace plat;

namespace {

constexpr Color kInk = 0x000000;
constexpr Color kPaper = 0xFFFFFF;

Surface drawn(const UiFont& font, std::string_view text, Size size = {120, 40}, Point at = {4, 8}) {
    Surface s(size.width, size.height);
    s.fill(kPaper);
    Dc dc(s);
    dc.set_text_color(kInk);
    font.draw_text(dc, at, text);
    return s;
}

// The lowest row with ink, or -1.
int bottom_ink_row(const Surface& s, int x0, int x1) {
    for (int y = s.height() - 1; y >= 0; --y)
        for (int x = x0; x < x1; ++x)
            if (s.pixel(x, y) == kInk) return y;
    return -1;
}

}  // namespace

TEST(UiFont, IsDejaVuSansAtADesktopsSizeWhereInstalled) {
    ResolvedFace face;
    if (!resolve_proportional_face("DejaVu Sans", true, face)) GTEST_SKIP() << "DejaVu Sans is not installed";
    const UiFont& f = UiFont::instance();
    EXPECT_TRUE(f.proportional());
    EXPECT_EQ(f.family(), "DejaVu Sans");
    EXPECT_LT(f.advance('i'), f.advance('W'));
    EXPECT_GE(f.line_height(), 12);
    EXPECT_LE(f.line_height(), 16);
    // The widest caption of the programs fits the text room of a default
    // button (98 pixels less two 4-pixel margins) on one line.
    EXPECT_LE(f.text_width("(E)WB parallel"), 90);
    // A monospaced family is not a UI face.
    if (resolve_face("DejaVu Sans Mono", face) && face.family == "DejaVu Sans Mono") {
        EXPECT_FALSE(UiFont::open("DejaVu Sans Mono")->proportional());
    }
}

TEST(UiFont, WithoutTheFamilyItIsTheFixedCellFont) {
    auto f = UiFont::open("No Such Family 4711");
    EXPECT_FALSE(f->proportional());
    EXPECT_EQ(f->family(), "");
    EXPECT_EQ(f->line_height(), FixedFont::kCellHeight);
    EXPECT_EQ(f->advance('i'), 8);
    EXPECT_EQ(f->advance(U'日'), 16);
    // Drawn exactly as the fixed-cell font draws, transparently.
    for (const char* text : {"Ab1 (E)WB", "日本 x", "\xff\xfe bad"}) {
        Surface want(120, 40);
        want.fill(kPaper);
        Dc dc(want);
        dc.set_bk_mode(BkMode::Transparent);
        dc.set_text_color(kInk);
        const int end = dc.draw_text({4, 8}, text);
        Surface got = drawn(*f, text);
        int differ = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x) differ += want.pixel(x, y) != got.pixel(x, y);
        EXPECT_EQ(differ, 0) << text;
        EXPECT_EQ(f->text_width(text), end - 4) << text;
    }
}

TEST(UiFont, CharactersTheFaceLacksAreTheFixedCellGlyphsOnItsBaseline) {
    const UiFont& f = UiFont::instance();
    if (!f.proportional()) GTEST_SKIP() << "no proportional face installed";
    auto fixed = UiFont::fixed_cell();
    // 'H' sits on the baseline in both fonts; the Japanese glyph is the fixed
    // font's, moved by as much as the two baselines differ.
    const Surface ui_h = drawn(f, "H"), fixed_h = drawn(*fixed, "H");
    const int shift = bottom_ink_row(ui_h, 0, 120) - bottom_ink_row(fixed_h, 0, 120);
    const Surface ui_kanji = drawn(f, "日"), fixed_kanji = drawn(*fixed, "日", {120, 40}, {4, 8 + shift});
    int ink = 0, differ = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            ink += ui_kanji.pixel(x, y) == kInk;
            differ += ui_kanji.pixel(x, y) != fixed_kanji.pixel(x, y);
        }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(f.advance(U'日'), 16);
}

TEST(UiFont, DrawsOnlyInsideTheClipAndFarOffSurfacesNotAtAll) {
    const UiFont& f = UiFont::instance();
    Surface s(60, 30);
    s.fill(kPaper);
    Dc dc(s, {0, 0}, Rect{10, 5, 30, 25});
    dc.set_text_color(kInk);
    f.draw_text(dc, {0, 8}, "WWWWWWWWWWWWWWWW");
    f.draw_text(dc, {-2000000000, 8}, "far left");
    f.draw_text(dc, {0, 2000000000}, "far below");
    int inside = 0, outside = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            if (s.pixel(x, y) == kInk) (Rect{10, 5, 30, 25}.contains({x, y}) ? inside : outside)++;
    EXPECT_GT(inside, 10);
    EXPECT_EQ(outside, 0);
}
