// The pass into plain buffers against the literal pass on library images:
// the same pixels for every layout (grids of any width included), with what
// the pass does not write left as it was, and bands taller than the
// library's row-group limit. Views read through resampling maps give the
// pixels of the same views written out first.
#include <gtest/gtest.h>

#include <random>

#include "lenticular/interleave.h"
#include "lenticular_fixture.h"
#include "mavlib.h"
#include "reference_interleave.h"

using namespace lentest;

namespace {

constexpr int kSource = 1, kOutput = 2;

std::uint32_t noise(int, int, std::mt19937& rng) { return rng() & 0xFFFFFFu; }

struct Layout {
    const char* name;
    ViewLayout layout;
    int grid_columns;
    int width, height;
};

// Parameters drawn at random for a layout, with at most max_views views, and
// the target of that layout's size.
void draw(std::mt19937& rng, const Layout& l, int max_views, LenticularParams& p, InterleaveTarget& t) {
    auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    p.pitch = std::uniform_real_distribution<double>(2.0, 30.0)(rng);
    p.view_num = in(1, max_views);
    p.pic_num = in(1, 4);
    p.gap = in(0, 3);
    p.pos = in(-20, 20);
    p.AA = in(0, 1);
    p.lenticular = in(0, 1);
    t.layout = l.layout;
    t.grid_columns = l.grid_columns;
    t.width = l.width;
    t.height = l.height;
}

}  // namespace

TEST(InterleaveBuffers, GiveThePixelsOfTheLiteralPassOnImages) {
    ensure_library_classes();
    std::mt19937 rng(29);
    const Layout layouts[] = {
        {"side by side", ViewLayout::SideBySide, 0, 120, 90},
        {"3 x 3 grid", ViewLayout::Grid3x3, 3, 100, 60},
        {"grid 3 wide", ViewLayout::Grid, 3, 100, 60},
        {"grid 2 wide", ViewLayout::Grid, 2, 90, 45},
        {"grid 1 wide", ViewLayout::Grid, 1, 70, 30},
        {"grid 4 wide", ViewLayout::Grid, 4, 50, 33},
        {"taller than 480 row groups", ViewLayout::Grid, 2, 24, 1503},
    };
    for (const Layout& l : layouts) {
        for (int round = 0; round < 4; ++round) {
            LenticularParams p;
            InterleaveTarget t;
            draw(rng, l, l.layout == ViewLayout::SideBySide ? 10 : std::min(9, l.grid_columns * 3), p, t);
            t.source = kSource;
            t.output = kOutput;
            const int rows = (p.view_num + l.grid_columns - 1) / std::max(l.grid_columns, 1);
            const int src_w = l.layout == ViewLayout::SideBySide ? 3 * t.width * p.pic_num : 3 * t.width * l.grid_columns;
            const int src_h = l.layout == ViewLayout::SideBySide ? t.height : t.height * rows;
            make_image(kSource, src_w, src_h, noise, rng);
            make_image(kOutput, t.width, t.height, noise, rng);
            const std::vector<std::uint32_t> source = pixels_of(kSource);
            std::vector<std::uint32_t> buffer = pixels_of(kOutput);
            const std::vector<std::uint32_t> start = buffer;
            SCOPED_TRACE(testing::Message() << l.name << " round " << round << " pitch " << p.pitch << " views "
                                            << p.view_num << " mode " << p.lenticular);
            ASSERT_EQ(InterleaveBuffers(p, t, source.data(), src_w, src_h, buffer.data(), t.width, t.height),
                      kInterleaveOk);
            reference::interleave_pass(p, t);
            const std::vector<std::uint32_t> expected = pixels_of(kOutput);
            EXPECT_FALSE(expected == start) << "the pass wrote nothing";
            ASSERT_TRUE(buffer == expected);
        }
    }
    for (int i : {kSource, kOutput}) MAV_DestroyImage(i);
}

// Any maps, not only the stretches lenti makes: shuffled rows and columns of
// a small picture whose top bytes are not clear, against the canvas they
// describe written out with clear top bytes.
TEST(InterleaveBuffers, ViewsReadThroughMapsGiveThePixelsOfTheCanvasWrittenOut) {
    std::mt19937 rng(31);
    auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const Layout layouts[] = {
        {"side by side", ViewLayout::SideBySide, 0, 130, 90},
        {"grid 3 wide", ViewLayout::Grid, 3, 100, 60},
        {"grid 2 wide, past 480 row groups", ViewLayout::Grid, 2, 24, 1503},
    };
    for (const Layout& l : layouts) {
        for (int round = 0; round < 4; ++round) {
            LenticularParams p;
            InterleaveTarget t;
            draw(rng, l, l.layout == ViewLayout::SideBySide ? 10 : 6, p, t);
            const int cw = 3 * t.width * (l.layout == ViewLayout::SideBySide ? p.pic_num : l.grid_columns);
            const int ch = l.layout == ViewLayout::SideBySide ? t.height : t.height * 3;
            const int pw = in(1, 70), ph = in(1, 50);
            std::vector<std::uint32_t> picture(std::size_t(pw * ph));
            for (std::uint32_t& v : picture) v = rng();
            std::vector<std::ptrdiff_t> row(static_cast<std::size_t>(ch)), column(static_cast<std::size_t>(cw));
            for (std::ptrdiff_t& r : row) r = std::ptrdiff_t(in(0, ph - 1)) * pw;
            for (std::ptrdiff_t& c : column) c = in(0, pw - 1);
            std::vector<std::uint32_t> canvas(std::size_t(cw) * ch);
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x)
                    canvas[std::size_t(y) * cw + x] = picture[std::size_t(row[y] + column[x])] & 0xFFFFFFu;
            std::vector<std::uint32_t> expected(std::size_t(t.width) * t.height);
            for (std::uint32_t& v : expected) v = rng() & 0xFFFFFFu;
            std::vector<std::uint32_t> mapped = expected;
            SCOPED_TRACE(testing::Message() << l.name << " round " << round << " pitch " << p.pitch << " views "
                                            << p.view_num << " mode " << p.lenticular);
            ASSERT_EQ(InterleaveBuffers(p, t, canvas.data(), cw, ch, expected.data(), t.width, t.height),
                      kInterleaveOk);
            const ResampledSource source{picture.data(), row.data(), column.data(), cw, ch};
            ASSERT_EQ(InterleaveResampled(p, t, source, mapped.data(), t.width, t.height), kInterleaveOk);
            ASSERT_TRUE(mapped == expected);
        }
    }
}

TEST(InterleaveBuffers, RefuseWhatThePassCannotRunWith) {
    std::vector<std::uint32_t> source(300 * 10, 1), out(100 * 10, 7);
    LenticularParams p;
    InterleaveTarget t;
    t.width = 100;
    t.height = 10;
    struct Case {
        const char* what;
        void (*spoil)(LenticularParams&, InterleaveTarget&);
        int result;
    };
    const Case cases[] = {
        {"pitch 0", [](LenticularParams& p, InterleaveTarget&) { p.pitch = 0; }, kInterleaveBadPitch},
        {"ten views in a grid",
         [](LenticularParams& p, InterleaveTarget& t) {
             t.layout = ViewLayout::Grid;
             p.view_num = 10;
         },
         kInterleaveBadViewNum},
        {"a grid no view wide",
         [](LenticularParams&, InterleaveTarget& t) {
             t.layout = ViewLayout::Grid;
             t.grid_columns = 0;
         },
         kInterleaveBadGeometry},
    };
    for (const Case& c : cases) {
        LenticularParams pc = p;
        InterleaveTarget tc = t;
        c.spoil(pc, tc);
        EXPECT_EQ(InterleaveBuffers(pc, tc, source.data(), 300, 10, out.data(), 100, 10), c.result) << c.what;
        EXPECT_EQ(out, std::vector<std::uint32_t>(100 * 10, 7)) << c.what;
    }
    EXPECT_EQ(InterleaveBuffers(p, t, nullptr, 300, 10, out.data(), 100, 10), kInterleaveBadGeometry);
}
