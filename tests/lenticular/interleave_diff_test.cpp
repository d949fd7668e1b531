// The fast pass against the literal reference: same inputs, same pixels and
// the same library state afterwards, over many parameter sets.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "lenticular/interleave.h"
#include "lenticular_fixture.h"
#include "mavlib.h"
#include "reference_interleave.h"

using namespace lentest;

namespace {

constexpr int kSource = 1, kOutput = 2, kBystander = 5;

std::uint32_t noise(int, int, std::mt19937& rng) { return rng(); }

std::string describe(const LenticularParams& p, const InterleaveTarget& t) {
    std::ostringstream s;
    s.precision(17);
    s << "pitch " << p.pitch << " views " << p.view_num << " pics " << p.pic_num << " gap " << p.gap << " pos "
      << p.pos << " AA " << p.AA << " normal " << p.lenticular << " | f0 " << t.start_column << " base "
      << t.row_base << " W " << t.width << " H " << t.height << " grid " << (t.layout == ViewLayout::Grid3x3);
    return s.str();
}

// Runs both passes from the same starting point and compares what they leave.
void expect_same(const LenticularParams& p, const InterleaveTarget& t) {
    SCOPED_TRACE(describe(p, t));
    // A missing image sends reads or writes elsewhere: restore every image.
    std::vector<std::vector<std::uint32_t>> start;
    for (int i : {kSource, kOutput, kBystander}) start.push_back(pixels_of(i));
    reset_library_state(kBystander, 7, 7);
    reference::interleave_views(p, t);
    LibraryState expected = capture_state(kSource, kOutput);

    int n = 0;
    for (int i : {kSource, kOutput, kBystander}) copy_pixels_from(i, start[std::size_t(n++)]);
    reset_library_state(kBystander, 7, 7);
    ASSERT_EQ(InterleaveViews(p, t), kInterleaveOk);
    LibraryState actual = capture_state(kSource, kOutput);

    ASSERT_EQ(actual.output.size(), expected.output.size());
    std::size_t first_diff = 0;
    while (first_diff < actual.output.size() && actual.output[first_diff] == expected.output[first_diff]) ++first_diff;
    EXPECT_EQ(first_diff, actual.output.size()) << "first differing output pixel " << first_diff;
    EXPECT_TRUE(actual.source == expected.source);
    EXPECT_EQ(actual.current, expected.current);
    EXPECT_EQ(actual.restores, expected.restores);
    EXPECT_EQ(actual.pen_x, expected.pen_x);
    EXPECT_EQ(actual.pen_y, expected.pen_y);
    EXPECT_TRUE(actual.text == expected.text);
}

class InterleaveDiff : public ::testing::Test {
protected:
    void SetUp() override {
        ensure_library_classes();
        make_image(kBystander, 8, 8, noise, rng_);
    }
    void TearDown() override {
        for (int i : {kSource, kOutput, kBystander}) MAV_DestroyImage(i);
    }
    std::mt19937 rng_{12345};
};

}  // namespace

TEST_F(InterleaveDiff, RandomParameterSetsMatchTheReference) {
    std::uniform_real_distribution<double> pitch(2.0, 60.0);
    for (int round = 0; round < 300; ++round) {
        std::uniform_int_distribution<int> pick(0, 1 << 30);
        auto in = [&](int lo, int hi) { return lo + pick(rng_) % (hi - lo + 1); };
        LenticularParams p;
        InterleaveTarget t;
        t.layout = in(0, 1) ? ViewLayout::Grid3x3 : ViewLayout::SideBySide;
        p.pitch = in(0, 5) == 0 ? double(in(2, 40)) : pitch(rng_);  // whole pitches too
        p.view_num = in(1, t.layout == ViewLayout::Grid3x3 ? 9 : 10);
        p.pic_num = in(1, 4);
        p.gap = in(-1, 6);
        // Now and then a shift that moves strips far past either edge.
        p.pos = in(0, 9) == 0 ? (in(0, 1) ? 1 : -1) * in(40, 400) : in(-12, 12);
        p.AA = in(0, 1);
        p.lenticular = in(0, 1);
        t.source = kSource;
        t.output = kOutput;
        t.start_column = in(0, 3) == 0 ? 168 : (in(0, 3) == 0 ? in(-40, 40) : 0);
        t.width = in(1, 110);
        t.height = in(0, 40);
        t.row_base = in(-2, 2);
        int out_w = t.width + in(-5, 5);
        int out_h = 3 * t.row_base + t.height + in(-6, 6);
        make_image(kOutput, std::max(out_w, 1), std::max(out_h, 1), noise, rng_);
        // Sources sometimes smaller than the views they should hold.
        int src_w = t.layout == ViewLayout::Grid3x3 ? 9 * t.width : 3 * t.width * p.pic_num;
        int src_h = t.layout == ViewLayout::Grid3x3 ? 3 * t.height : t.height;
        if (in(0, 3) == 0) {
            src_w = std::max(1, src_w / in(2, 5));
            src_h = std::max(1, src_h / in(1, 3));
        }
        make_image(kSource, std::max(src_w, 1), std::max(src_h, 1), noise, rng_);
        expect_same(p, t);
        if (HasFailure()) return;
    }
}

TEST_F(InterleaveDiff, MissingImagesFallBackAndStillMatch) {
    LenticularParams p;
    p.pitch = 9.3;
    p.view_num = 3;
    p.AA = 1;
    p.lenticular = 1;
    InterleaveTarget t;
    t.source = kSource;
    t.output = kOutput;
    t.width = 40;
    t.height = 30;
    make_image(kOutput, 40, 30, noise, rng_);
    MAV_DestroyImage(kSource);
    expect_same(p, t);  // the source is missing: reads go to whatever image is current
    make_image(kSource, 120, 30, noise, rng_);
    MAV_DestroyImage(kOutput);
    expect_same(p, t);  // the output is missing: writes go to the current image
}

// The fast pass keeps what it worked out for the next pass with the same
// parameters; images that change size in between must not see stale work.
TEST_F(InterleaveDiff, RepeatedPassesFollowImagesThatChangeSize) {
    LenticularParams p;
    p.pitch = 11.7;
    p.view_num = 4;
    p.pic_num = 4;
    p.AA = 1;
    p.pos = -5;
    InterleaveTarget t;
    t.source = kSource;
    t.output = kOutput;
    t.width = 60;
    t.height = 45;
    // Source width, source height, output width, output height.
    const int sizes[][4] = {{720, 45, 60, 45}, {720, 45, 60, 45}, {720, 20, 60, 45}, {300, 20, 60, 45},
                            {720, 45, 75, 50}, {720, 45, 40, 45}, {900, 60, 60, 45}};
    for (const auto& s : sizes) {
        make_image(kSource, s[0], s[1], noise, rng_);
        make_image(kOutput, s[2], s[3], noise, rng_);
        expect_same(p, t);
        if (HasFailure()) return;
    }
    t.height = 30;  // same plan, fewer row groups
    expect_same(p, t);
}

TEST_F(InterleaveDiff, TheProgramsTargetsMatch) {
    struct Case {
        double pitch;
        int views, pics, aa, normal, f0, w, h;
        ViewLayout layout;
    } cases[] = {
        {23.006, 2, 2, 0, 0, 0, 800, 480, ViewLayout::SideBySide},   // two cameras
        {17.381, 6, 9, 1, 0, 0, 800, 480, ViewLayout::Grid3x3},      // a movie of nine views
        {8.5, 2, 2, 1, 0, 168, 640, 42, ViewLayout::SideBySide},     // one chart strip
        {17.381, 6, 9, 1, 1, 0, 200, 120, ViewLayout::Grid3x3},      // normal mode
    };
    for (const Case& c : cases) {
        LenticularParams p;
        p.pitch = c.pitch;
        p.view_num = c.views;
        p.pic_num = c.pics;
        p.AA = c.aa;
        p.lenticular = c.normal;
        InterleaveTarget t;
        t.source = kSource;
        t.output = kOutput;
        t.start_column = c.f0;
        t.width = c.w;
        t.height = c.h;
        t.layout = c.layout;
        make_image(kOutput, c.w, c.h, noise, rng_);
        if (c.layout == ViewLayout::Grid3x3)
            make_image(kSource, 9 * c.w, 3 * c.h, noise, rng_);
        else
            make_image(kSource, 3 * c.w * 2, c.h, noise, rng_);
        expect_same(p, t);
    }
}
