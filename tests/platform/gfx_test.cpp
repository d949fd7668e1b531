// Pixel checks of surfaces, device contexts and the fixed-cell font, on small
// surfaces.
#include "plat/gfx/gfx.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_folder.h"

using namespace plat;

namespace {

constexpr Color kRed = 0xFF0000;
constexpr Color kBlue = 0x0000FF;

// Every pixel of s as a string of '.' (equal to bg) and '#' (anything else),
// one line per row, so a failure shows the picture.
std::string picture(const Surface& s, Color bg = 0) {
    std::string out;
    for (int y = 0; y < s.height(); ++y) {
        for (int x = 0; x < s.width(); ++x) out += s.pixel(x, y) == bg ? '.' : '#';
        out += '\n';
    }
    return out;
}

// The picture of a filled rectangle r on a w x h surface.
std::string rect_picture(int w, int h, Rect r) {
    std::string out;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) out += r.contains({x, y}) ? '#' : '.';
        out += '\n';
    }
    return out;
}

bool glyph_bit(const Glyph& g, int x, int y) {
    return (g.rows[std::size_t(y)] >> (g.width - 1 - x)) & 1;
}

}  // namespace

// ---- Surface ----

TEST(GfxSurface, Rgb32LayoutAndInitialState) {
    Surface s(3, 2);
    ASSERT_FALSE(s.is_null());
    EXPECT_EQ(s.format(), PixelFormat::Rgb32);
    EXPECT_EQ(s.stride(), 12);
    EXPECT_EQ(s.size(), (Size{3, 2}));
    for (int i = 0; i < s.stride() * s.height(); ++i) EXPECT_EQ(s.bits()[i], 0) << i;
    EXPECT_EQ(s.palette()[0], 0u);
    EXPECT_EQ(s.palette()[128], rgb(128, 128, 128));
    EXPECT_EQ(s.palette()[255], rgb(255, 255, 255));
}

TEST(GfxSurface, Indexed8RowsArePaddedToFourBytes) {
    const int widths[] = {1, 2, 3, 4, 5, 8, 10};
    const int strides[] = {4, 4, 4, 4, 8, 8, 12};
    for (int i = 0; i < 7; ++i) {
        Surface s(widths[i], 3, PixelFormat::Indexed8);
        EXPECT_EQ(s.stride(), strides[i]) << "width " << widths[i];
        EXPECT_EQ(s.row8(2) - s.row8(0), 2 * strides[i]);
    }
}

TEST(GfxSurface, NonPositiveOrAbsurdSizesGiveNullSurface) {
    const int sizes[][2] = {{0, 5},
                            {5, 0},
                            {-1, 5},
                            {5, -7},
                            {INT_MIN, INT_MIN},
                            {INT_MAX, 1},
                            {1, INT_MAX},
                            {INT_MAX, INT_MAX},
                            {1 << 20, 1 << 20}};
    for (auto [w, h] : sizes) {
        Surface a(w, h);
        Surface b(w, h, PixelFormat::Indexed8);
        EXPECT_TRUE(a.is_null()) << w << "x" << h;
        EXPECT_TRUE(b.is_null()) << w << "x" << h;
        // A null surface must be safe to use.
        a.fill(kRed);
        a.set_pixel(0, 0, kRed);
        EXPECT_EQ(a.pixel(0, 0), 0u);
        Dc dc(a);
        dc.fill_rect({0, 0, 10, 10}, kRed);
        dc.draw_text({0, 0}, "x");
    }
}

TEST(GfxSurface, PixelAccessOutsideIsIgnored) {
    Surface s(4, 4);
    s.set_pixel(-1, 0, kRed);
    s.set_pixel(4, 0, kRed);
    s.set_pixel(0, 4, kRed);
    s.set_pixel(0, -1, kRed);
    EXPECT_EQ(picture(s), rect_picture(4, 4, {}));
    s.fill(kBlue);
    EXPECT_EQ(s.pixel(-1, 0), 0u);
    EXPECT_EQ(s.pixel(4, 3), 0u);
    EXPECT_EQ(s.pixel(3, 3), kBlue);
}

TEST(GfxSurface, Indexed8PixelResolvesPaletteAndStoresLowByte) {
    Surface s(5, 2, PixelFormat::Indexed8);
    s.palette()[7] = rgb(10, 20, 30);
    s.set_pixel(4, 1, 0xABCD07);
    EXPECT_EQ(s.row8(1)[4], 7);
    EXPECT_EQ(s.pixel(4, 1), rgb(10, 20, 30));
    s.fill(9);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(s.row8(y)[x], 9);
        for (int x = 5; x < s.stride(); ++x) EXPECT_EQ(s.row8(y)[x], 0) << "padding touched";
    }
}

// ---- Dc: fills and clipping ----

TEST(GfxDc, FillRectClipsToSurface) {
    Surface s(10, 10);
    Dc dc(s);
    dc.fill_rect({-5, -5, 3, 4}, kRed);
    EXPECT_EQ(picture(s), rect_picture(10, 10, {0, 0, 3, 4}));
    s.fill(0);
    dc.fill_rect({7, 8, 100, 100}, kRed);
    EXPECT_EQ(picture(s), rect_picture(10, 10, {7, 8, 10, 10}));
    s.fill(0);
    dc.fill_rect({10, 0, 12, 10}, kRed);  // just outside the right edge
    dc.fill_rect({0, -3, 10, 0}, kRed);   // just above
    dc.fill_rect({5, 5, 3, 3}, kRed);     // inverted: empty
    EXPECT_EQ(picture(s), rect_picture(10, 10, {}));
}

TEST(GfxDc, FillRectClipsToClipRectAndHonoursOrigin) {
    Surface s(10, 10);
    Dc dc(s, {3, 2}, {2, 2, 8, 7});
    dc.fill_rect({-100, -100, 100, 100}, kRed);
    EXPECT_EQ(picture(s), rect_picture(10, 10, {2, 2, 8, 7}));
    s.fill(0);
    dc.fill_rect({0, 0, 2, 2}, kRed);  // logical (0,0) is surface (3,2)
    EXPECT_EQ(picture(s), rect_picture(10, 10, {3, 2, 5, 4}));
    s.fill(0);
    dc.fill_rect({4, 4, 9, 9}, kRed);  // surface (7,6)..(12,11), clipped at (8,7)
    EXPECT_EQ(picture(s), rect_picture(10, 10, {7, 6, 8, 7}));
}

TEST(GfxDc, ClipRectLargerThanSurfaceStillClipsToSurface) {
    Surface s(10, 10);
    Dc dc(s, {0, 0}, {-50, -50, 50, 50});
    dc.fill_rect({-10, 8, 20, 20}, kRed);
    EXPECT_EQ(picture(s), rect_picture(10, 10, {0, 8, 10, 10}));
}

TEST(GfxDc, ExtremeCoordinatesDoNotOverflow) {
    Surface s(10, 10);
    Dc dc(s, {5, -5}, s.rect());
    dc.fill_rect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, kRed);
    EXPECT_EQ(picture(s), rect_picture(10, 10, s.rect()));
    s.fill(0);
    dc.hline(INT_MIN, INT_MAX, INT_MAX, kRed);
    dc.vline(INT_MAX, INT_MIN, INT_MAX, kRed);
    dc.frame_rect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, kRed);
    dc.invert_rect({INT_MIN, INT_MIN, INT_MAX, INT_MAX});
    dc.draw_text({INT_MAX - 4, INT_MAX - 4}, "AB");
    dc.blit({INT_MAX, INT_MIN}, s, {INT_MIN, INT_MIN, INT_MAX, INT_MAX});
    SUCCEED();  // the sanitizers judge this one
}

TEST(GfxDc, HlineAndVlineEndsAreExclusive) {
    Surface s(10, 10);
    Dc dc(s);
    dc.hline(2, 6, 3, kRed);
    EXPECT_EQ(picture(s), rect_picture(10, 10, {2, 3, 6, 4}));
    s.fill(0);
    dc.vline(9, 7, 12, kRed);
    EXPECT_EQ(picture(s), rect_picture(10, 10, {9, 7, 10, 10}));
    s.fill(0);
    dc.hline(5, 5, 0, kRed);
    dc.vline(0, 4, 4, kRed);
    EXPECT_EQ(picture(s), rect_picture(10, 10, {}));
}

TEST(GfxDc, FrameRectDrawsOneOutlineInside) {
    Surface s(10, 10);
    Dc dc(s);
    dc.frame_rect({1, 2, 9, 8}, kRed);
    EXPECT_EQ(picture(s),
              "..........\n"
              "..........\n"
              ".########.\n"
              ".#......#.\n"
              ".#......#.\n"
              ".#......#.\n"
              ".#......#.\n"
              ".########.\n"
              "..........\n"
              "..........\n");
}

TEST(GfxDc, FrameRectDegenerateAndClipped) {
    Surface s(10, 10);
    Dc dc(s);
    dc.frame_rect({4, 4, 5, 5}, kRed);
    EXPECT_EQ(picture(s), rect_picture(10, 10, {4, 4, 5, 5}));
    s.fill(0);
    dc.frame_rect({2, 1, 3, 6}, kRed);  // one pixel wide: a solid column
    EXPECT_EQ(picture(s), rect_picture(10, 10, {2, 1, 3, 6}));
    s.fill(0);
    dc.frame_rect({2, 3, 2, 8}, kRed);  // empty
    EXPECT_EQ(picture(s), rect_picture(10, 10, {}));
    s.fill(0);
    Dc clipped(s, {0, 0}, {0, 0, 10, 5});
    clipped.frame_rect({-1, 2, 5, 12}, kRed);  // left and bottom sides outside
    EXPECT_EQ(picture(s),
              "..........\n"
              "..........\n"
              "#####.....\n"
              "....#.....\n"
              "....#.....\n"
              "..........\n"
              "..........\n"
              "..........\n"
              "..........\n"
              "..........\n");
}

TEST(GfxDc, InvertRectRgb32KeepsTopByteAndIsItsOwnInverse) {
    Surface s(4, 4);
    s.set_pixel(1, 1, 0x12345678);
    s.set_pixel(2, 1, 0x000000);
    Dc dc(s);
    dc.invert_rect({1, 1, 3, 2});
    EXPECT_EQ(s.pixel(1, 1), 0x12CBA987u);
    EXPECT_EQ(s.pixel(2, 1), 0xFFFFFFu);
    EXPECT_EQ(s.pixel(3, 1), 0u);
    EXPECT_EQ(s.pixel(1, 0), 0u);
    dc.invert_rect({1, 1, 3, 2});
    EXPECT_EQ(s.pixel(1, 1), 0x12345678u);
    EXPECT_EQ(s.pixel(2, 1), 0u);
}

TEST(GfxDc, Indexed8OperationsUseLowByteAndKeepPadding) {
    Surface s(10, 3, PixelFormat::Indexed8);
    ASSERT_EQ(s.stride(), 12);
    Dc dc(s);
    dc.fill_rect({-5, 0, 50, 3}, 0x123405);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(s.row8(y)[x], 5);
    dc.invert_rect({0, 0, 20, 3});
    dc.frame_rect({0, 0, 10, 3}, 0x11);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(s.row8(y)[x], (y == 1 && x > 0 && x < 9) ? 0xFA : 0x11) << x << "," << y;
        EXPECT_EQ(s.row8(y)[10], 0);
        EXPECT_EQ(s.row8(y)[11], 0);
    }
}

// ---- Dc: blit ----

namespace {

Color src_value(int x, int y) { return Color(0x100 + y * 16 + x); }

// The blit result computed pixel by pixel from the definition.
Color expected_blit(Point dst, Point origin, Rect clip, const Surface& src, Rect src_rect,
                    const Surface& dst_surface, int x, int y) {
    if (!clip.contains({x, y}) || !dst_surface.rect().contains({x, y})) return 0;
    const int sx = x - origin.x - dst.x + src_rect.left;
    const int sy = y - origin.y - dst.y + src_rect.top;
    if (!src_rect.contains({sx, sy}) || !src.rect().contains({sx, sy})) return 0;
    return src.pixel(sx, sy);
}

}  // namespace

TEST(GfxBlit, ClipsAtEveryEdgeOfDestinationAndSource) {
    Surface src(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) src.set_pixel(x, y, src_value(x, y));
    const Rect src_rects[] = {
        src.rect(), {1, 1, 4, 3}, {-2, -1, 3, 2}, {3, 2, 9, 8}, {-3, -3, 8, 7}};
    const Point origins[] = {{0, 0}, {2, -1}};
    const Rect clips[] = {{0, 0, 10, 10}, {2, 3, 7, 9}};
    for (const Rect& sr : src_rects)
        for (Point origin : origins)
            for (const Rect& clip : clips)
                for (int dy = -7; dy <= 11; ++dy)
                    for (int dx = -7; dx <= 11; ++dx) {
                        Surface dst(10, 10);
                        Dc dc(dst, origin, clip);
                        dc.blit({dx, dy}, src, sr);
                        for (int y = 0; y < 10; ++y)
                            for (int x = 0; x < 10; ++x)
                                ASSERT_EQ(dst.pixel(x, y),
                                          expected_blit({dx, dy}, origin, clip, src, sr, dst, x, y))
                                    << "pixel " << x << "," << y << " dst " << dx << "," << dy
                                    << " src_rect " << sr.left << "," << sr.top << "," << sr.right
                                    << "," << sr.bottom << " origin " << origin.x << "," << origin.y
                                    << " clip " << clip.left << "," << clip.top;
                    }
}

TEST(GfxBlit, Indexed8IntoRgb32ResolvesPalette) {
    Surface src(3, 1, PixelFormat::Indexed8);
    src.palette()[1] = kRed;
    src.palette()[2] = kBlue;
    src.set_pixel(0, 0, 1);
    src.set_pixel(1, 0, 2);
    src.set_pixel(2, 0, 0);
    Surface dst(4, 2);
    dst.fill(0x777777);
    Dc(dst).blit({1, 1}, src, src.rect());
    EXPECT_EQ(dst.pixel(0, 1), 0x777777u);
    EXPECT_EQ(dst.pixel(1, 1), kRed);
    EXPECT_EQ(dst.pixel(2, 1), kBlue);
    EXPECT_EQ(dst.pixel(3, 1), 0u);
    EXPECT_EQ(dst.pixel(1, 0), 0x777777u);
}

TEST(GfxBlit, Indexed8IntoIndexed8CopiesIndicesAndRgb32IntoIndexed8TakesLowByte) {
    Surface a(3, 2, PixelFormat::Indexed8);
    a.set_pixel(0, 0, 40);
    a.set_pixel(2, 1, 41);
    Surface b(6, 3, PixelFormat::Indexed8);
    b.palette()[40] = kRed;  // palettes are not copied: indices keep their meaning in b
    Dc(b).blit({3, 1}, a, a.rect());
    EXPECT_EQ(b.row8(1)[3], 40);
    EXPECT_EQ(b.row8(2)[5], 41);
    EXPECT_EQ(b.pixel(3, 1), kRed);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(b.row8(y)[6], 0) << "padding touched";

    Surface c(2, 1);
    c.set_pixel(0, 0, 0xABCDEF);
    c.set_pixel(1, 0, 0x000102);
    Dc(b).blit({0, 0}, c, c.rect());
    EXPECT_EQ(b.row8(0)[0], 0xEF);
    EXPECT_EQ(b.row8(0)[1], 0x02);
}

TEST(GfxBlit, OntoItselfWithOverlapMatchesCopyFromSnapshot) {
    const Point shifts[] = {{1, 1}, {-1, -1}, {2, 0}, {-2, 0}, {0, 3}, {0, -3}, {1, -2}};
    for (Point d : shifts) {
        Surface s(8, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) s.set_pixel(x, y, src_value(x, y));
        const Surface snapshot = s;
        Surface expected = s;
        Dc(expected).blit({1 + d.x, 1 + d.y}, snapshot, {1, 1, 7, 7});
        Dc(s).blit({1 + d.x, 1 + d.y}, s, {1, 1, 7, 7});
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(s.pixel(x, y), expected.pixel(x, y))
                    << x << "," << y << " shift " << d.x << "," << d.y;
    }
}

// ---- Text ----

TEST(GfxText, GlyphPixelsMatchTheFontInBothModes) {
    const FixedFont& font = FixedFont::instance();
    const Glyph& a = font.glyph('A');
    ASSERT_EQ(a.width, 8);
    int set_bits = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) set_bits += glyph_bit(a, x, y);
    ASSERT_GT(set_bits, 10) << "'A' should not be blank";

    for (BkMode mode : {BkMode::Opaque, BkMode::Transparent}) {
        Surface s(12, 18);
        s.fill(0x555555);
        Dc dc(s);
        dc.set_text_color(kRed);
        dc.set_bk_color(kBlue);
        dc.set_bk_mode(mode);
        EXPECT_EQ(dc.draw_text({2, 1}, "A"), 10);
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool in_cell = x >= 2 && x < 10 && y >= 1 && y < 17;
                Color want = 0x555555;
                if (in_cell && glyph_bit(a, x - 2, y - 1))
                    want = kRed;
                else if (in_cell && mode == BkMode::Opaque)
                    want = kBlue;
                ASSERT_EQ(s.pixel(x, y), want) << x << "," << y;
            }
    }
}

TEST(GfxText, ClippedGlyphsAtSurfaceAndClipEdges) {
    const Glyph& a = FixedFont::instance().glyph('A');
    const Point positions[] = {{-4, -8}, {5, 3}, {-7, 10}, {6, -15}};
    for (Point p : positions) {
        Surface s(10, 10);
        Dc dc(s, {1, 1}, {0, 0, 9, 9});
        dc.set_text_color(kRed);
        dc.set_bk_mode(BkMode::Transparent);
        dc.draw_text(p, "A");
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                const int gx = x - 1 - p.x, gy = y - 1 - p.y;
                const bool on = x < 9 && y < 9 && gx >= 0 && gx < 8 && gy >= 0 && gy < 16 &&
                                glyph_bit(a, gx, gy);
                ASSERT_EQ(s.pixel(x, y), on ? kRed : 0u) << x << "," << y;
            }
    }
}

TEST(GfxText, AdvancesAndReturnsEndAndSkipsControls) {
    Surface s(40, 16);
    Dc dc(s);
    dc.set_bk_mode(BkMode::Transparent);
    dc.set_text_color(kRed);
    EXPECT_EQ(dc.draw_text({3, 0}, ""), 3);
    EXPECT_EQ(dc.draw_text({3, 0}, "\t\n\x7f"), 3 + 24);
    EXPECT_EQ(picture(s), rect_picture(40, 16, {})) << "control characters draw nothing";
    EXPECT_EQ(dc.draw_text({-3, 0}, "AB"), 13);
}

TEST(GfxText, WideGlyphAdvancesSixteen) {
    const FixedFont& font = FixedFont::instance();
    if (!font.has_unifont()) GTEST_SKIP() << "unifont.hex not installed";
    const Glyph& hira = font.glyph(U'\u3042');
    ASSERT_EQ(hira.width, 16);
    Surface s(30, 16);
    Dc dc(s);
    dc.set_text_color(kRed);
    dc.set_bk_color(kBlue);
    EXPECT_EQ(dc.draw_text({2, 0}, "\u3042A"), 2 + 16 + 8);
    const Glyph& a = font.glyph('A');
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(s.pixel(2 + x, y), glyph_bit(hira, x, y) ? kRed : kBlue) << x << "," << y;
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(s.pixel(18 + x, y), glyph_bit(a, x, y) ? kRed : kBlue) << x << "," << y;
    }
}

TEST(GfxText, Indexed8TextUsesColoursAsIndices) {
    Surface s(8, 16, PixelFormat::Indexed8);
    Dc dc(s);
    dc.set_text_color(0x000003);
    dc.set_bk_color(0x000004);
    dc.draw_text({0, 0}, "A");
    const Glyph& a = FixedFont::instance().glyph('A');
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(s.row8(y)[x], glyph_bit(a, x, y) ? 3 : 4);
}

// ---- Font ----

TEST(FontMetrics, TextWidth) {
    const FixedFont& font = FixedFont::instance();
    EXPECT_EQ(font.text_width(""), 0);
    EXPECT_EQ(font.text_width("Hello"), 40);
    EXPECT_EQ(font.text_width("a\tb"), 24);
    if (font.has_unifont()) {
        EXPECT_EQ(font.text_width("\u3042\u3044A"), 40);
        EXPECT_EQ(font.advance(U'\u3042'), 16);
    }
    // Outside the BMP: the box.
    EXPECT_EQ(font.text_width("\U0001F600"), 8);
}

TEST(FontMetrics, MalformedUtf8CountsReplacementCharacters) {
    const FixedFont& font = FixedFont::instance();
    const int r = font.advance(0xFFFD);
    EXPECT_EQ(font.text_width("\xff"), r);
    EXPECT_EQ(font.text_width("\xc0\xaf"), r);      // overlong '/'
    EXPECT_EQ(font.text_width("\xed\xa0\x80"), r);  // a surrogate
    // Cut short, then ASCII that must not be swallowed as continuation bytes.
    EXPECT_EQ(font.text_width(std::string("\xe3\x81") + "A"), r + 8);
    EXPECT_EQ(font.text_width(std::string("\xc3") + "A"), r + 8);
    EXPECT_EQ(font.text_width(std::string("\xe3") + "AB"), r + 16);
    EXPECT_EQ(font.text_width("\x80\x80"), 2 * r);  // stray continuation bytes
    // A sequence cut off by the end of the buffer must not be read past it.
    auto buf = std::make_unique<char[]>(2);
    buf[0] = 'A';
    buf[1] = '\xe3';
    EXPECT_EQ(font.text_width(std::string_view(buf.get(), 2)), 8 + r);
}

TEST(FontGlyphs, UnknownCodePointsGetAVisibleBox) {
    const FixedFont& font = FixedFont::instance();
    for (char32_t cp : {char32_t(0x10FFFF), char32_t(0x1F600), char32_t(0x110000)}) {
        const Glyph& g = font.glyph(cp);
        EXPECT_EQ(g.width, 8);
        int bits = 0;
        for (auto row : g.rows) bits += row != 0;
        EXPECT_GT(bits, 4) << std::hex << unsigned(cp);
    }
    const Glyph& ctrl = font.glyph(0x07);
    EXPECT_EQ(ctrl.width, 8);
    for (auto row : ctrl.rows) EXPECT_EQ(row, 0);
}

TEST(FontLoading, MissingFileFallsBackToBuiltInAscii) {
    const FixedFont fallback = FixedFont::from_hex_file("/nonexistent/unifont.hex");
    EXPECT_FALSE(fallback.has_unifont());
    for (char32_t cp = 0x21; cp <= 0x7E; ++cp) {
        int bits = 0;
        for (auto row : fallback.glyph(cp).rows) bits += row != 0;
        EXPECT_GT(bits, 0) << "U+" << std::hex << unsigned(cp) << " is blank";
        EXPECT_EQ(fallback.glyph(cp).width, 8);
    }
    EXPECT_EQ(fallback.text_width("\u3042"), 8);  // a box
    // The built-in table was taken from Unifont: it must match it exactly.
    const FixedFont& font = FixedFont::instance();
    if (!font.has_unifont()) GTEST_SKIP() << "unifont.hex not installed";
    for (char32_t cp = 0x20; cp <= 0x7E; ++cp)
        EXPECT_EQ(fallback.glyph(cp).rows, font.glyph(cp).rows) << "U+" << std::hex << unsigned(cp);
}

TEST(FontLoading, ParserAcceptsGoodLinesAndSkipsBadOnes) {
    testsupport::TempFolder tmp;
    const std::string path = tmp.file("font_parser_test.hex");
    {
        std::ofstream f(path, std::ios::binary);
        f << "0041:0102030405060708090A0B0C0D0E0F10\n"    // narrow
          << "00e9:FFFEFDFCFBFAF9F8F7F6F5F4F3F2F1F0\r\n"  // CRLF
          << "3042:" << std::string(60, '0') << "8001\n"  // wide
          << "0042:0102030405060708090A0B0C0D0E0F\n"      // short
          << "0043:0102030405060708090A0B0C0D0E0F1011\n"  // long
          << "0044:01020304050607080G0A0B0C0D0E0F10\n"    // bad digit
          << "45:0102030405060708090A0B0C0D0E0F10\n"      // short code
          << "1F600:0102030405060708090A0B0C0D0E0F10\n"   // not BMP
          << "\n"
          << "garbage\n"
          << "0046:0102030405060708090A0B0C0D0E0FAA";  // no newline
        ASSERT_TRUE(f.good()) << path;
    }
    const FixedFont f = FixedFont::from_hex_file(path);
    EXPECT_TRUE(f.has_unifont());
    EXPECT_EQ(f.glyph('A').rows[0], 0x01);
    EXPECT_EQ(f.glyph('A').rows[15], 0x10);
    EXPECT_EQ(f.glyph(0xE9).rows[0], 0xFF);
    EXPECT_EQ(f.glyph(0xE9).rows[15], 0xF0);
    EXPECT_EQ(f.glyph(0x3042).width, 16);
    EXPECT_EQ(f.glyph(0x3042).rows[15], 0x8001);
    EXPECT_EQ(f.glyph('F').rows[15], 0xAA);
    // Rejected lines leave the built-in glyphs in place.
    const FixedFont builtin = FixedFont::from_hex_file("/nonexistent/unifont.hex");
    for (char32_t cp : {U'B', U'C', U'D', U'E'})
        EXPECT_EQ(f.glyph(cp).rows, builtin.glyph(cp).rows);
    EXPECT_EQ(f.glyph(0x1F600).rows, f.glyph(0x10FFFF).rows);  // the box
}

TEST(FontLoading, DirectoryOrEmptyFileIsNotAFont) {
    testsupport::TempFolder tmp;
    EXPECT_FALSE(FixedFont::from_hex_file(tmp.str()).has_unifont());
    const std::string path = tmp.file("font_empty_test.hex");
    { std::ofstream f(path); }
    EXPECT_FALSE(FixedFont::from_hex_file(path).has_unifont());
}
