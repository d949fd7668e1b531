// The numeric facts of the pass: where strips begin, what they sample, the
// subpixel order, and the small helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "interleave_plan.h"
#include "lenticular/interleave.h"
#include "lenticular_fixture.h"
#include "mavlib.h"

using lenticular::ColumnPlan;
using lenticular::plan_columns;

namespace {

LenticularParams params(double pitch, int views, int aa = 1, int normal = 0) {
    LenticularParams p;
    p.pitch = pitch;
    p.view_num = views;
    p.pic_num = 2;
    p.AA = aa;
    p.lenticular = normal;
    return p;
}

InterleaveTarget target(int f0, int width, int height = 3) {
    InterleaveTarget t;
    t.start_column = f0;
    t.width = width;
    t.height = height;
    return t;
}

// Columns where a new strip begins (with AA on, those are the blended ones).
std::vector<int> boundaries(const std::vector<ColumnPlan>& plan, int up_to) {
    std::vector<int> out;
    for (const ColumnPlan& c : plan)
        if (c.blend && c.f <= up_to) out.push_back(c.f);
    return out;
}

}  // namespace

TEST(InterleaveFacts, RepeatedAdditionDecidesTheBoundaries) {
    auto plan = plan_columns(params(8, 3), target(0, 10), 0);
    EXPECT_EQ(boundaries(plan, 16), (std::vector<int>{2, 5, 8, 10, 13, 15}));  // 15, not 16
}

TEST(InterleaveFacts, PitchEightAndAHalfStripsAndBlendWeights) {
    auto plan = plan_columns(params(8.5, 2), target(0, 7), 0);
    EXPECT_EQ(boundaries(plan, 17), (std::vector<int>{4, 8, 12, 17}));
    EXPECT_DOUBLE_EQ(plan[4].frac, 0.25);
    EXPECT_DOUBLE_EQ(plan[8].frac, 0.5);
    EXPECT_DOUBLE_EQ(plan[12].frac, 0.75);
    EXPECT_DOUBLE_EQ(plan[17].frac, 0.0);
    EXPECT_FALSE(plan[0].blend);  // the first column of a pass is never blended
}

TEST(InterleaveFacts, PitchEightAndAHalfSourceColumnsInBothModes) {
    const int picture = 100;  // view 1's picture starts at x = 100
    auto normal = plan_columns(params(8.5, 2, 0, 1), target(0, 7), 2 * picture);
    std::vector<int> cols;
    for (int f = 0; f <= 20; ++f) cols.push_back(normal[std::size_t(f)].src_x - (f >= 4 && f <= 7 ? picture : 0) -
                                                 (f >= 12 && f <= 16 ? picture : 0));
    EXPECT_EQ(cols, (std::vector<int>{8, 6, 3, 0, 8, 6, 3, 0, 12, 10, 7, 4, 12, 10, 8, 6, 4, 21, 19, 16, 13}));
    auto reverse = plan_columns(params(8.5, 2, 0, 0), target(0, 7), 2 * picture);
    EXPECT_EQ(reverse[5].src_x, 5 + picture);
    EXPECT_EQ(reverse[9].src_x, 9);
}

TEST(InterleaveFacts, ChartStripsStartRegularStripsWhereTheAbsoluteGridSays) {
    for (auto [pitch, first_regular] : {std::pair{8.0, 224}, {9.0, 216}, {12.0, 201}, {27.0, 181}}) {
        auto plan = plan_columns(params(pitch, 2), target(168, 640, 42), 0);
        std::vector<int> starts{168};
        for (int b : boundaries(plan, 1000)) starts.push_back(b);
        int found = -1;
        for (std::size_t i = 0; i + 1 < starts.size(); ++i)
            if (starts[i + 1] - starts[i] > 1) {
                found = starts[i];
                break;
            }
        EXPECT_EQ(found, first_regular) << "pitch " << pitch;
        // Before that, one-column strips of alternating views; normal mode reads black there.
        auto normal = plan_columns(params(pitch, 2, 1, 1), target(168, 640, 42), 0);
        EXPECT_FALSE(normal[0].reads);
    }
}

TEST(InterleaveFacts, TwoCameraAndMovieBoundaryLists) {
    auto two = plan_columns(params(23.006, 2), target(0, 40), 0);
    EXPECT_EQ(boundaries(two, 92), (std::vector<int>{11, 23, 34, 46, 57, 69, 80, 92}));
    EXPECT_NEAR(two[11].frac, 0.503, 1e-9);
    auto six = plan_columns(params(17.381, 6), target(0, 40), 0);
    EXPECT_EQ(boundaries(six, 34), (std::vector<int>{2, 5, 8, 11, 14, 17, 20, 23, 26, 28, 31, 34}));
}

TEST(InterleaveFacts, HelpersMatchTheirExamples) {
    EXPECT_EQ(BlendColor(0.25, 0x000000, 0xFFFFFF), 0x3F3F3F);
    EXPECT_EQ(BlendColor(0.5, 0x0000FF, 0x000000), 0x00007F);
    EXPECT_EQ(BlendColor(0.0, 0x123456, 0xABCDEF), 0x123456);
}

class InterleaveImages : public ::testing::Test {
protected:
    void SetUp() override { lentest::ensure_library_classes(); }
    void TearDown() override {
        MAV_DestroyImage(1);
        MAV_DestroyImage(2);
    }
    static std::uint32_t white(int, int, std::mt19937&) { return 0xFFFFFF; }
    static std::uint32_t black(int, int, std::mt19937&) { return 0; }
    std::mt19937 rng_{7};
};

TEST_F(InterleaveImages, DiagonalWriterReplacesOneChannelPerPixel) {
    lentest::make_image(2, 8, 6, white, rng_);
    MAV_SelectImage(2);
    WriteSubpixelDiagonal(4, 0x123456, 0);
    EXPECT_EQ(MAV_GetPixel(1, 0), 0xFFFF56);
    EXPECT_EQ(MAV_GetPixel(2, 1), 0x12FFFF);
    EXPECT_EQ(MAV_GetPixel(2, 2), 0xFF34FF);
    WriteSubpixelDiagonal(3, 0x123456, 1);
    EXPECT_EQ(MAV_GetPixel(1, 3), 0x12FFFF);
    EXPECT_EQ(MAV_GetPixel(1, 4), 0xFF34FF);
    EXPECT_EQ(MAV_GetPixel(1, 5), 0xFFFF56);
    WriteSubpixelDiagonal(-1, 0, 0);  // nothing
    EXPECT_EQ(MAV_GetPixel(0, 0), 0xFFFFFF);
}

TEST_F(InterleaveImages, SubpixelOrderAtStripBoundaries) {
    // View 0 is grey A0, view 1 grey 50; row 0 of the band tells who wrote what.
    lentest::make_image(1, 48, 3, [](int x, int, std::mt19937&) -> std::uint32_t {
        return x < 24 ? 0xA0A0A0 : 0x505050;
    }, rng_);
    lentest::make_image(2, 4, 3, black, rng_);
    InterleaveTarget t = target(0, 4, 3);
    t.source = 1;
    t.output = 2;
    ASSERT_EQ(InterleaveViews(params(8, 2, 0, 0), t), kInterleaveOk);
    auto* px = static_cast<std::uint8_t*>(mav_bits[2]);
    std::string who;
    for (int s = 0; s < 12; ++s) {
        std::uint8_t b = px[(s / 3) * 4 + (2 - s % 3)];
        who += b == 0xA0 ? '0' : b == 0x50 ? '1' : '?';
    }
    EXPECT_EQ(who, "000011101000");  // view 1 on 4, 5, 6 and 8
    EXPECT_EQ(MAV_GetCurrentImage(), 2);
}

TEST_F(InterleaveImages, RefusedParametersTouchNothing) {
    lentest::make_image(1, 30, 9, white, rng_);
    lentest::make_image(2, 10, 9, black, rng_);
    MAV_SelectImage(1);
    InterleaveTarget t = target(0, 10, 9);
    t.source = 1;
    t.output = 2;
    EXPECT_EQ(InterleaveViews(params(8, 0), t), kInterleaveBadViewNum);
    EXPECT_EQ(InterleaveViews(params(8, 11), t), kInterleaveBadViewNum);
    LenticularParams nopics = params(8, 2);
    nopics.pic_num = 0;
    EXPECT_EQ(InterleaveViews(nopics, t), kInterleaveBadPicNum);
    InterleaveTarget grid = t;
    grid.layout = ViewLayout::Grid3x3;
    EXPECT_EQ(InterleaveViews(params(8, 10), grid), kInterleaveBadViewNum);
    nopics.view_num = 2;
    EXPECT_EQ(InterleaveViews(nopics, grid), kInterleaveOk);  // the grid has no pictures side by side
    MAV_SelectImage(1);
    InterleaveTarget tall = t;
    tall.height = 3 * 481;
    EXPECT_EQ(InterleaveViews(params(8, 2), tall), kInterleaveTooManyRows);
    EXPECT_EQ(InterleaveViews(params(NAN, 2), t), kInterleaveBadPitch);
    EXPECT_EQ(InterleaveViews(params(-3, 2), t), kInterleaveBadPitch);
    EXPECT_EQ(InterleaveViews(params(1e12, 2), t), kInterleaveBadPitch);
    EXPECT_EQ(MAV_GetCurrentImage(), 1);
}

TEST_F(InterleaveImages, StartBeyondTheWidthWritesNothing) {
    lentest::make_image(1, 30, 9, white, rng_);
    lentest::make_image(2, 10, 9, black, rng_);
    MAV_SelectImage(1);
    InterleaveTarget t = target(30, 10, 9);
    t.source = 1;
    t.output = 2;
    ASSERT_EQ(InterleaveViews(params(8, 2), t), kInterleaveOk);
    EXPECT_EQ(MAV_GetCurrentImage(), 1);  // nothing was selected
    MAV_SelectImage(2);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(MAV_GetPixel(x, y), 0) << x << "," << y;
}
