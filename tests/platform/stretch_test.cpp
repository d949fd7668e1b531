// Pixel checks of stretched and mirrored copies on small surfaces.
#include "plat/gfx/gfx.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

using namespace plat;

namespace {

constexpr Color kUntouched = 0xABCDEF;
constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;
constexpr StretchMode kModes[] = {StretchMode::Plain, StretchMode::Smooth};

const char* name(StretchMode m) { return m == StretchMode::Plain ? "plain" : "smooth"; }

// A picture whose every pixel differs from its neighbours in every channel.
Color distinct(int x, int y) { return rgb(x * 16 + 1, y * 16 + 2, (x + y) * 8 + 3); }

Surface distinct_surface(int w, int h) {
    Surface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set_pixel(x, y, distinct(x, y));
    return s;
}

Surface filled(int w, int h, Color c) {
    Surface s(w, h);
    s.fill(c);
    return s;
}

// Every pixel as hex, one row per line, so a failure shows the picture.
std::string dump(const Surface& s) {
    std::string out;
    char buf[16];
    for (int y = 0; y < s.height(); ++y) {
        for (int x = 0; x < s.width(); ++x) {
            std::snprintf(buf, sizeof buf, "%06X ", unsigned(s.pixel(x, y)));
            out += buf;
        }
        out += '\n';
    }
    return out;
}

// One row of colours read from s.
std::vector<Color> row(const Surface& s, int y) {
    std::vector<Color> r;
    for (int x = 0; x < s.width(); ++x) r.push_back(s.pixel(x, y));
    return r;
}

Surface stretched(int dw, int dh, const Surface& src, Rect src_rect, StretchMode mode) {
    Surface out = filled(dw, dh, kUntouched);
    stretch_copy(out, {0, 0, dw, dh}, src, src_rect, mode);
    return out;
}

Surface mirrored(const Surface& s, bool horizontal, bool vertical) {
    Surface out(s.width(), s.height());
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            out.set_pixel(horizontal ? s.width() - 1 - x : x, vertical ? s.height() - 1 - y : y,
                          s.pixel(x, y));
    return out;
}

}  // namespace

// ---- Both modes ----

TEST(StretchBoth, OneToOneEqualsBlit) {
    const Surface src = distinct_surface(7, 5);
    const Rect src_rect{1, 1, 6, 4};
    for (StretchMode mode : kModes) {
        Surface expect = filled(9, 8, kUntouched);
        Surface got = filled(9, 8, kUntouched);
        // An origin and a clip that cuts the copy on two sides.
        Dc e(expect, {1, 2}, {2, 0, 9, 5});
        Dc g(got, {1, 2}, {2, 0, 9, 5});
        e.blit({0, 1}, src, src_rect);
        g.stretch_blit({0, 1, 5, 4}, src, src_rect, mode);
        EXPECT_EQ(dump(got), dump(expect)) << name(mode);
    }
}

TEST(StretchBoth, OneToOneFromIndexed8EqualsBlit) {
    Surface src(5, 3, PixelFormat::Indexed8);
    for (int i = 0; i < 256; ++i) src.palette()[std::size_t(i)] = rgb(255 - i, i, i * 7);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) src.set_pixel(x, y, Color(y * 5 + x + 40));
    for (StretchMode mode : kModes) {
        Surface expect = filled(6, 4, kUntouched);
        Surface got = filled(6, 4, kUntouched);
        Dc(expect).blit({1, 1}, src, src.rect());
        Dc(got).stretch_blit({1, 1, 6, 4}, src, src.rect(), mode);
        EXPECT_EQ(dump(got), dump(expect)) << name(mode);
    }
}

TEST(StretchBoth, IndexedSourceResolvesPalette) {
    Surface src(2, 2, PixelFormat::Indexed8);
    src.palette()[1] = 0xFF0000;
    src.palette()[2] = 0x00FF00;
    src.palette()[3] = 0x0000FF;
    src.palette()[4] = 0xFFFFFF;
    src.set_pixel(0, 0, 1);
    src.set_pixel(1, 0, 2);
    src.set_pixel(0, 1, 3);
    src.set_pixel(1, 1, 4);
    const Surface plain = stretched(4, 4, src, src.rect(), StretchMode::Plain);
    EXPECT_EQ(row(plain, 0), (std::vector<Color>{0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00}));
    EXPECT_EQ(row(plain, 3), (std::vector<Color>{0x0000FF, 0x0000FF, 0xFFFFFF, 0xFFFFFF}));
    // (255+0+0+255)/4 = 127.5 -> 128; (0+255+0+255)/4 likewise; (0+0+255+255)/4 too.
    const Surface smooth = stretched(1, 1, src, src.rect(), StretchMode::Smooth);
    EXPECT_EQ(smooth.pixel(0, 0), 0x808080u);
}

TEST(StretchBoth, UniformSourceStaysUniformAtAnyRatio) {
    const Surface src = filled(13, 11, 0x12A5F7);
    const int sizes[][2] = {{1, 1}, {2, 3}, {3, 7}, {5, 5}, {6, 4}, {13, 11}, {17, 9}, {29, 31}, {40, 3}};
    for (StretchMode mode : kModes)
        for (const auto& sz : sizes) {
            const Surface out = stretched(sz[0], sz[1], src, src.rect(), mode);
            for (int y = 0; y < sz[1]; ++y)
                for (int x = 0; x < sz[0]; ++x)
                    ASSERT_EQ(out.pixel(x, y), 0x12A5F7u)
                        << name(mode) << " " << sz[0] << "x" << sz[1] << " at " << x << "," << y;
        }
}

TEST(StretchBoth, ClippingAtEveryEdgeKeepsThePhaseAndLeavesOutsideAlone) {
    const Surface src = distinct_surface(3, 4);
    // The whole stretch, drawn unclipped on a large surface at (20, 20).
    const Rect dst{-2, -3, 5, 6};  // 7 x 9 logical, from 3 x 4
    for (StretchMode mode : kModes) {
        Surface whole = filled(40, 40, kUntouched);
        Dc(whole, {20, 20}, whole.rect()).stretch_blit(dst, src, src.rect(), mode);

        struct Case {
            Point origin;
            Rect clip;
        };
        // The destination hangs off the surface's left/top, then right/bottom;
        // then a clip rectangle cuts it on every side inside the surface.
        const Case cases[] = {{{0, 0}, {0, 0, 6, 6}},
                              {{4, 2}, {0, 0, 6, 6}},
                              {{3, 3}, {2, 2, 5, 4}},
                              {{3, 3}, {-10, -10, 100, 100}}};
        for (const Case& c : cases) {
            Surface got = filled(6, 6, kUntouched);
            Dc(got, c.origin, c.clip).stretch_blit(dst, src, src.rect(), mode);
            const Rect visible = c.clip.intersected(got.rect());
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 6; ++x) {
                    const Color expect = visible.contains({x, y})
                                             ? whole.pixel(x - c.origin.x + 20, y - c.origin.y + 20)
                                             : kUntouched;
                    ASSERT_EQ(got.pixel(x, y), expect)
                        << name(mode) << " origin " << c.origin.x << "," << c.origin.y << " at "
                        << x << "," << y << "\n"
                        << dump(got);
                }
        }
    }
}

TEST(StretchBoth, MirroredCopiesAreMirrorImages) {
    const Surface src = distinct_surface(5, 4);
    for (StretchMode mode : kModes) {
        const Surface normal = stretched(7, 6, src, src.rect(), mode);
        Surface h = filled(7, 6, kUntouched);
        Surface v = filled(7, 6, kUntouched);
        Surface hv = filled(7, 6, kUntouched);
        Surface both_flipped = filled(7, 6, kUntouched);
        stretch_copy(h, {7, 0, 0, 6}, src, src.rect(), mode);
        stretch_copy(v, {0, 6, 7, 0}, src, src.rect(), mode);
        stretch_copy(hv, {7, 6, 0, 0}, src, src.rect(), mode);
        // Mirroring the source as well cancels out.
        stretch_copy(both_flipped, {7, 0, 0, 6}, src, {5, 0, 0, 4}, mode);
        EXPECT_EQ(dump(h), dump(mirrored(normal, true, false))) << name(mode);
        EXPECT_EQ(dump(v), dump(mirrored(normal, false, true))) << name(mode);
        EXPECT_EQ(dump(hv), dump(mirrored(normal, true, true))) << name(mode);
        EXPECT_EQ(dump(both_flipped), dump(normal)) << name(mode);
    }
}

TEST(StretchBoth, MirroredOneToOneReversesRow) {
    Surface src(3, 1);
    src.set_pixel(0, 0, 0x111111);
    src.set_pixel(1, 0, 0x222222);
    src.set_pixel(2, 0, 0x333333);
    for (StretchMode mode : kModes) {
        Surface out = filled(5, 1, kUntouched);
        // Covers columns 1..3, drawn right to left.
        stretch_copy(out, {4, 0, 1, 1}, src, src.rect(), mode);
        EXPECT_EQ(row(out, 0), (std::vector<Color>{kUntouched, 0x333333, 0x222222, 0x111111, kUntouched}))
            << name(mode);
    }
}

TEST(StretchBoth, DegenerateSizesDrawNothing) {
    const Surface src = distinct_surface(4, 4);
    const Surface null_src;
    const Rect dsts[] = {{1, 1, 1, 4}, {1, 1, 4, 1}, {3, 3, 3, 3}};
    const Rect srcs[] = {{1, 0, 1, 4}, {0, 2, 4, 2}, {0, 0, 0, 0}, {10, 10, 14, 14}, {-9, 0, -5, 4}};
    for (StretchMode mode : kModes) {
        Surface out = filled(6, 6, kUntouched);
        const std::string before = dump(out);
        for (const Rect& d : dsts) stretch_copy(out, d, src, src.rect(), mode);
        for (const Rect& s : srcs) stretch_copy(out, {0, 0, 6, 6}, src, s, mode);
        stretch_copy(out, {0, 0, 6, 6}, null_src, {0, 0, 4, 4}, mode);
        // An empty clip, and a destination entirely off the surface.
        Dc(out, {0, 0}, {2, 2, 2, 6}).stretch_blit({0, 0, 6, 6}, src, src.rect(), mode);
        Dc(out, {100, 0}, out.rect()).stretch_blit({0, 0, 6, 6}, src, src.rect(), mode);
        EXPECT_EQ(dump(out), before) << name(mode);
        Surface null_dst;
        stretch_copy(null_dst, {0, 0, 6, 6}, src, src.rect(), mode);
    }
}

TEST(StretchBoth, HugeEnlargementFillsWithTheOnePixel) {
    const Surface src = filled(1, 1, 0x3C5A78);
    for (StretchMode mode : kModes) {
        const Surface out = stretched(500, 500, src, src.rect(), mode);
        for (int y = 0; y < 500; ++y)
            for (int x = 0; x < 500; ++x) ASSERT_EQ(out.pixel(x, y), 0x3C5A78u) << name(mode);
    }
}

TEST(StretchBoth, HugeShrinkToOnePixel) {
    // Left half black, right half white, one marked pixel at the centre.
    Surface src = filled(500, 500, kBlack);
    for (int y = 0; y < 500; ++y)
        for (int x = 250; x < 500; ++x) src.set_pixel(x, y, kWhite);
    src.set_pixel(250, 250, 0x00FF00);
    // Plain takes the pixel under the centre, floor(500 / 2) = 250.
    EXPECT_EQ(stretched(1, 1, src, src.rect(), StretchMode::Plain).pixel(0, 0), 0x00FF00u);
    // Smooth: red and blue are exactly 127.5 -> 128; green has one more
    // pixel at 255 (one moved into the black half), 127.501 -> 128.
    src.set_pixel(250, 250, kWhite);
    src.set_pixel(0, 0, 0x00FF00);
    EXPECT_EQ(stretched(1, 1, src, src.rect(), StretchMode::Smooth).pixel(0, 0), 0x808080u);
    // A darker source: 100 instead of 255 in the white half gives exactly 50.
    Surface dim = filled(500, 500, kBlack);
    for (int y = 0; y < 500; ++y)
        for (int x = 250; x < 500; ++x) dim.set_pixel(x, y, rgb(100, 101, 99));
    EXPECT_EQ(stretched(1, 1, dim, dim.rect(), StretchMode::Smooth).pixel(0, 0), rgb(50, 51, 50));
}

TEST(StretchBoth, ExtremeRectanglesDoNotOverflow) {
    Surface src(2, 1);
    src.set_pixel(0, 0, 0x010101);
    src.set_pixel(1, 0, 0x020202);
    for (StretchMode mode : kModes) {
        Surface out = filled(4, 2, kUntouched);
        stretch_copy(out, {INT_MIN, 0, INT_MAX, 1}, src, src.rect(), mode);
        stretch_copy(out, {INT_MAX, 1, INT_MIN, 2}, src, src.rect(), mode);
        // Logical 0 lies just right of the middle of [INT_MIN, INT_MAX).
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(out.pixel(x, 0), 0x020202u) << name(mode);
            EXPECT_EQ(out.pixel(x, 1), 0x010101u) << name(mode);
        }
        Surface out2 = filled(4, 1, kUntouched);
        stretch_copy(out2, {0, 0, 4, 1}, src, {INT_MIN, 0, INT_MAX, 1}, mode);
        stretch_copy(out2, {0, 0, 4, 1}, src, {INT_MAX, 0, INT_MIN, 1}, mode);
        EXPECT_EQ(row(out2, 0), std::vector<Color>(4, kUntouched)) << name(mode);
    }
}

TEST(StretchBoth, SourceRectBeyondSourceLeavesThoseDestinationPixelsAlone) {
    Surface src(2, 1);
    src.set_pixel(0, 0, 0x111111);
    src.set_pixel(1, 0, 0x222222);
    for (StretchMode mode : kModes) {
        // Source columns -1..2, two destination pixels each.
        const Surface out = stretched(8, 1, src, {-1, 0, 3, 1}, mode);
        EXPECT_EQ(row(out, 0), (std::vector<Color>{kUntouched, kUntouched, 0x111111, 0x111111,
                                                   0x222222, 0x222222, kUntouched, kUntouched}))
            << name(mode);
    }
    // Smooth averages only the part inside. Columns -1..0 onto one pixel: the
    // centre lies on column 0's left edge, so it is drawn, from column 0 alone.
    EXPECT_EQ(stretched(1, 1, src, {-1, 0, 1, 1}, StretchMode::Smooth).pixel(0, 0), 0x111111u);
    // Columns -1..1: (0x11 + 0x22) / 2 = 25.5 -> 26.
    EXPECT_EQ(stretched(1, 1, src, {-1, 0, 2, 1}, StretchMode::Smooth).pixel(0, 0), 0x1A1A1Au);
}

TEST(StretchBoth, OntoItselfReadsTheOriginal) {
    for (StretchMode mode : kModes) {
        Surface s = distinct_surface(8, 8);
        const Surface copy = s;
        Surface expect = s;
        stretch_copy(expect, {1, 1, 8, 8}, copy, {0, 0, 4, 4}, mode);
        stretch_copy(s, {1, 1, 8, 8}, s, {0, 0, 4, 4}, mode);
        EXPECT_EQ(dump(s), dump(expect)) << name(mode);
    }
}

TEST(StretchBoth, DcKeepsAStretchMode) {
    Surface src(2, 1);
    src.set_pixel(1, 0, kWhite);
    Surface out = filled(1, 1, kUntouched);
    Dc dc(out);
    EXPECT_EQ(dc.stretch_mode(), StretchMode::Plain);
    dc.stretch_blit({0, 0, 1, 1}, src, src.rect());
    EXPECT_EQ(out.pixel(0, 0), kWhite);  // floor(2 / 2) = column 1
    dc.set_stretch_mode(StretchMode::Smooth);
    dc.stretch_blit({0, 0, 1, 1}, src, src.rect());
    EXPECT_EQ(out.pixel(0, 0), 0x808080u);
}

// ---- Plain ----

TEST(StretchPlain, TwiceEnlargeRepeatsEachPixelInTwoByTwoBlocks) {
    const Surface src = distinct_surface(3, 2);
    const Surface out = stretched(6, 4, src, src.rect(), StretchMode::Plain);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(out.pixel(x, y), distinct(x / 2, y / 2)) << x << "," << y;
}

TEST(StretchPlain, IntegerEnlargeRepeatsEachPixelExactlyKTimes) {
    const Surface src = distinct_surface(7, 1);
    for (int k = 1; k <= 9; ++k) {
        const Surface out = stretched(7 * k, 1, src, src.rect(), StretchMode::Plain);
        for (int x = 0; x < 7 * k; ++x) ASSERT_EQ(out.pixel(x, 0), distinct(x / k, 0)) << k;
    }
}

TEST(StretchPlain, ShrinkPicksEvenlySpacedSourcePixels) {
    const Surface src = distinct_surface(5, 5);
    struct Case {
        int from, to;
        std::vector<int> picks;  // floor((2d + 1) * from / (2 * to))
    };
    const Case cases[] = {{3, 2, {0, 2}}, {4, 3, {0, 2, 3}}, {5, 2, {1, 3}}, {4, 2, {1, 3}},
                          {5, 3, {0, 2, 4}}, {5, 1, {2}}};
    for (const Case& c : cases) {
        // Columns.
        Surface out = stretched(c.to, 1, src, {0, 0, c.from, 1}, StretchMode::Plain);
        for (int d = 0; d < c.to; ++d)
            EXPECT_EQ(out.pixel(d, 0), distinct(c.picks[std::size_t(d)], 0)) << c.from << "->" << c.to;
        // Rows.
        out = stretched(1, c.to, src, {0, 0, 1, c.from}, StretchMode::Plain);
        for (int d = 0; d < c.to; ++d)
            EXPECT_EQ(out.pixel(0, d), distinct(0, c.picks[std::size_t(d)])) << c.from << "->" << c.to;
    }
}

TEST(StretchPlain, NonIntegerEnlargeRepeatsEvenly) {
    const Surface src = distinct_surface(2, 1);
    // 2 -> 5: floor((2d + 1) / 5) = 0, 0, 1, 1, 1.
    const Surface out = stretched(5, 1, src, src.rect(), StretchMode::Plain);
    EXPECT_EQ(row(out, 0), (std::vector<Color>{distinct(0, 0), distinct(0, 0), distinct(1, 0),
                                               distinct(1, 0), distinct(1, 0)}));
}

TEST(StretchPlain, IndexedTargetGetsIndices) {
    Surface src(2, 1, PixelFormat::Indexed8);
    src.set_pixel(0, 0, 7);
    src.set_pixel(1, 0, 9);
    for (StretchMode mode : kModes) {
        Surface out(4, 1, PixelFormat::Indexed8);
        stretch_copy(out, out.rect(), src, src.rect(), mode);
        EXPECT_EQ(out.row8(0)[0], 7);
        EXPECT_EQ(out.row8(0)[1], 7);
        EXPECT_EQ(out.row8(0)[2], 9);
        EXPECT_EQ(out.row8(0)[3], 9);
    }
}

// ---- Smooth ----

TEST(StretchSmooth, HalfSizeOfCheckerIsMidGrey) {
    Surface src(8, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) src.set_pixel(x, y, (x + y) % 2 ? kWhite : kBlack);
    // Each 2 x 2 block averages to 127.5, rounded half up to 128.
    const Surface out = stretched(4, 3, src, src.rect(), StretchMode::Smooth);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(out.pixel(x, y), 0x808080u) << x << "," << y;
}

TEST(StretchSmooth, HalfSizeAveragesEachBlockPerChannel) {
    Surface src(4, 2);
    // Left block: red 10,20,30,40 -> 25; green 0,0,0,1 -> 0.25 -> 0;
    // blue 255,255,0,1 -> 127.75 -> 128.
    src.set_pixel(0, 0, rgb(10, 0, 255));
    src.set_pixel(1, 0, rgb(20, 0, 255));
    src.set_pixel(0, 1, rgb(30, 0, 0));
    src.set_pixel(1, 1, rgb(40, 1, 1));
    // Right block: red 1,2,2,2 -> 1.75 -> 2; green 0,1,0,1 -> 0.5 -> 1;
    // blue 200,201,202,203 -> 201.5 -> 202.
    src.set_pixel(2, 0, rgb(1, 0, 200));
    src.set_pixel(3, 0, rgb(2, 1, 201));
    src.set_pixel(2, 1, rgb(2, 0, 202));
    src.set_pixel(3, 1, rgb(2, 1, 203));
    const Surface out = stretched(2, 1, src, src.rect(), StretchMode::Smooth);
    EXPECT_EQ(out.pixel(0, 0), rgb(25, 0, 128));
    EXPECT_EQ(out.pixel(1, 0), rgb(2, 1, 202));
}

TEST(StretchSmooth, ThirdSizeAveragesThree) {
    Surface src(3, 1);
    src.set_pixel(0, 0, rgb(0, 0, 3));
    src.set_pixel(1, 0, rgb(0, 255, 3));
    src.set_pixel(2, 0, rgb(255, 255, 4));
    // Red 85, green 170, blue 10/3 = 3.33 -> 3.
    EXPECT_EQ(stretched(1, 1, src, src.rect(), StretchMode::Smooth).pixel(0, 0), rgb(85, 170, 3));
}

TEST(StretchSmooth, EnlargeBlendsOnlyAtBoundaries) {
    Surface src(2, 1);
    src.set_pixel(0, 0, kBlack);
    src.set_pixel(1, 0, kWhite);
    // 2 -> 3: the middle pixel covers [2/3, 4/3), half of each.
    EXPECT_EQ(row(stretched(3, 1, src, src.rect(), StretchMode::Smooth), 0),
              (std::vector<Color>{kBlack, 0x808080, kWhite}));
    // 2 -> 5: pixel 2 covers [0.8, 1.2): 0.2 black, 0.2 white -> 127.5 -> 128;
    // the others lie inside one source pixel.
    EXPECT_EQ(row(stretched(5, 1, src, src.rect(), StretchMode::Smooth), 0),
              (std::vector<Color>{kBlack, kBlack, 0x808080, kWhite, kWhite}));
    // 2 -> 4: pixel 1 covers [0.5, 1.0), wholly black.
    EXPECT_EQ(row(stretched(4, 1, src, src.rect(), StretchMode::Smooth), 0),
              (std::vector<Color>{kBlack, kBlack, kWhite, kWhite}));
    // 3 -> 4: pixel 1 covers [0.75, 1.5): 1/3 of source 0, 2/3 of source 1.
    Surface src3(3, 1);
    src3.set_pixel(0, 0, rgb(0, 0, 0));
    src3.set_pixel(1, 0, rgb(255, 90, 30));
    src3.set_pixel(2, 0, rgb(0, 0, 0));
    const Surface out = stretched(4, 1, src3, src3.rect(), StretchMode::Smooth);
    EXPECT_EQ(out.pixel(1, 0), rgb(170, 60, 20));
    EXPECT_EQ(out.pixel(2, 0), rgb(170, 60, 20));
}

TEST(StretchSmooth, IntegerEnlargeEqualsPlain) {
    const Surface src = distinct_surface(5, 3);
    for (int k = 1; k <= 4; ++k) {
        const Surface plain = stretched(5 * k, 3 * k, src, src.rect(), StretchMode::Plain);
        const Surface smooth = stretched(5 * k, 3 * k, src, src.rect(), StretchMode::Smooth);
        EXPECT_EQ(dump(smooth), dump(plain)) << k;
    }
}

// ---- Against a per-pixel reference ----

namespace {

// One axis worked out per pixel with plain rational arithmetic: source pixel
// s covers [s*D, (s+1)*D) and destination index d covers
// [src_lo*D + d*S, src_lo*D + (d+1)*S), in units of 1/D source pixel.
struct RefAxis {
    long long dst_lo, D, src_lo, S;
    bool flip;
    int limit;

    static RefAxis make(int da, int db, int sa, int sb, int limit) {
        const bool df = da > db, sf = sa > sb;
        if (df) std::swap(da, db);
        if (sf) std::swap(sa, sb);
        return {da, db - da, sa, sb - sa, df != sf, limit};
    }
    // Logical index of logical coordinate v, or -1 outside the destination.
    long long index(int v) const {
        if (v < dst_lo || v >= dst_lo + D) return -1;
        return flip ? D - 1 - (v - dst_lo) : v - dst_lo;
    }
    // Twice the centre, in units.
    long long centre2(long long d) const { return 2 * src_lo * D + (2 * d + 1) * S; }
    bool drawn(long long d) const { return centre2(d) >= 0 && centre2(d) < 2 * limit * D; }
    int nearest(long long d) const {
        long long c = centre2(d);
        return int((c - (c < 0 ? 2 * D - 1 : 0)) / (2 * D));
    }
    long long overlap(long long d, int s) const {
        const long long a = std::max(src_lo * D + d * S, s * D);
        const long long b = std::min(src_lo * D + (d + 1) * S, (s + 1) * D);
        return std::max(0LL, b - a);
    }
};

}  // namespace

TEST(StretchBoth, MatchesPerPixelReference) {
    unsigned seed = 12345;
    const auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % unsigned(n));
    };
    for (int iter = 0; iter < 400; ++iter) {
        const int sw = 1 + next(9), sh = 1 + next(9);
        Surface src(sw, sh);
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x) src.set_pixel(x, y, rgb(next(256), next(256), next(256)));
        // Rectangles in either order, sometimes reaching past the source.
        const auto span = [&](int limit) {
            const int a = next(limit + 3) - 1;
            int b = next(limit + 3) - 1;
            if (b == a) b = a + 1;
            return std::pair{a, b};
        };
        const auto [sx0, sx1] = span(sw);
        const auto [sy0, sy1] = span(sh);
        const int dx0 = next(16) - 3, dx1 = next(16) - 3;
        const int dy0 = next(16) - 3, dy1 = next(16) - 3;
        const Point origin{next(5) - 2, next(5) - 2};
        const Rect clip{next(4), next(4), 12 - next(4), 12 - next(4)};
        const RefAxis ax = RefAxis::make(dx0, dx1 == dx0 ? dx0 + 1 : dx1, sx0, sx1, sw);
        const RefAxis ay = RefAxis::make(dy0, dy1 == dy0 ? dy0 + 1 : dy1, sy0, sy1, sh);
        const Rect dst{dx0, dy0, dx1 == dx0 ? dx0 + 1 : dx1, dy1 == dy0 ? dy0 + 1 : dy1};
        for (StretchMode mode : kModes) {
            Surface out = filled(12, 12, kUntouched);
            Dc(out, origin, clip).stretch_blit(dst, src, {sx0, sy0, sx1, sy1}, mode);
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 12; ++x) {
                    const long long dx = ax.index(x - origin.x), dy = ay.index(y - origin.y);
                    const bool drawn = clip.contains({x, y}) && dx >= 0 && dy >= 0 &&
                                       ax.drawn(dx) && ay.drawn(dy);
                    const Color got = out.pixel(x, y);
                    const std::string where = std::string(name(mode)) + " iteration " +
                                              std::to_string(iter) + " at " + std::to_string(x) +
                                              "," + std::to_string(y);
                    if (!drawn) {
                        ASSERT_EQ(got, kUntouched) << where;
                    } else if (mode == StretchMode::Plain) {
                        ASSERT_EQ(got, src.pixel(ax.nearest(dx), ay.nearest(dy))) << where;
                    } else {
                        // The exact mean; the result is it rounded half up, give or
                        // take a thousandth of a level from the fixed-point weights.
                        for (int shift : {16, 8, 0}) {
                            long long num = 0, total = 0;
                            for (int t = 0; t < sh; ++t)
                                for (int s = 0; s < sw; ++s) {
                                    const long long w = ax.overlap(dx, s) * ay.overlap(dy, t);
                                    num += w * ((src.pixel(s, t) >> shift) & 0xFF);
                                    total += w;
                                }
                            const long long g = (got >> shift) & 0xFF;
                            ASSERT_LE(std::llabs(2000 * (g * total - num)), 1002 * total)
                                << where << " channel shift " << shift;
                        }
                    }
                }
        }
    }
}
