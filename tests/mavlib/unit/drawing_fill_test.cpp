// Flood fill: exact regions, 4-connectivity, the seed limit, and the cases
// that must stop at once.
#include <climits>
#include <cstdint>
#include <queue>
#include <random>

#include "drawing_test_support.h"

using namespace drawtest;

namespace {

constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;

class Fill : public DrawingTest {};

// The 4-connected region of (x, y)'s value, found the obvious way.
PointSet region(ScratchImage& img, int x0, int y0) {
    const std::uint32_t c = img.at(x0, y0);
    PointSet seen{{x0, y0}};
    std::queue<Point> todo;
    todo.push({x0, y0});
    while (!todo.empty()) {
        auto [x, y] = todo.front();
        todo.pop();
        for (Point n : {Point{x - 1, y}, Point{x + 1, y}, Point{x, y - 1}, Point{x, y + 1}}) {
            if (n.first < 0 || n.second < 0 || n.first >= img.width() || n.second >= img.height()) continue;
            if (img.at(n.first, n.second) == c && seen.insert(n).second) todo.push(n);
        }
    }
    return seen;
}

TEST_F(Fill, FillsTheInsideOfAnOutlineExactly) {
    ScratchImage img(10, 10);
    MAV_SetDrawColor(kRed);
    MAV_Box(1, 1, 8, 7);
    MAV_SetDrawColor(kGreen);
    MAV_Fill(4, 4);
    PointSet inside;
    for (int y = 2; y <= 6; ++y)
        for (int x = 2; x <= 7; ++x) inside.insert({x, y});
    EXPECT_EQ(img.with(kGreen), inside);
    EXPECT_EQ(img.with(kRed).size(), 2u * 8 + 2u * 5);
    EXPECT_EQ(img.with(0).size(), 100u - 26u - 30u);
}

TEST_F(Fill, DoesNotLeakThroughDiagonalGaps) {
    ScratchImage img(10, 10);
    // A staircase wall from (0, 9) to (9, 0): the halves touch only at corners.
    for (int i = 0; i < 10; ++i) img.set(i, 9 - i, kRed);
    MAV_SetDrawColor(kGreen);
    MAV_Fill(0, 0);
    PointSet above;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x + y < 9; ++x) above.insert({x, y});
    EXPECT_EQ(img.with(kGreen), above);
    EXPECT_EQ(img.with(0).size(), 45u);
}

TEST_F(Fill, FillsAnyRegionAsTheFourConnectedComponent) {
    ScratchImage img(40, 30);
    std::mt19937 rng(99);
    for (int round = 0; round < 40; ++round) {
        img.fill(0);
        // Random walls, dense enough to make ragged, winding regions.
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                if (rng() % 100 < 35) img.set(x, y, kRed);
        int x = int(rng() % 40), y = int(rng() % 30);
        if (img.at(x, y) == kRed) continue;
        const PointSet expected = region(img, x, y);
        MAV_SetDrawColor(kGreen);
        MAV_Fill(x, y);
        ASSERT_EQ(img.with(kGreen), expected) << "round " << round;
        ASSERT_EQ(img.with(kRed).size() + expected.size() + img.with(0).size(), 1200u);
    }
}

TEST_F(Fill, FillsAWholeEmptyImage) {
    ScratchImage img(17, 11);
    MAV_SetDrawColor(0x345678);
    MAV_Fill(16, 10);
    EXPECT_EQ(img.with(0x345678).size(), 17u * 11u);
}

TEST_F(Fill, APixelAlreadyInTheDrawColourChangesNothing) {
    ScratchImage img(10, 10);
    img.fill(kGreen);
    img.set(3, 3, kRed);
    MAV_SetDrawColor(kGreen);
    MAV_SetPenPosition(-7, -8);
    MAV_Fill(5, 5);
    EXPECT_EQ(img.with(kRed), (PointSet{{3, 3}}));
    EXPECT_EQ(img.with(kGreen).size(), 99u);
    EXPECT_EQ(pen(), (Point{-7, -8}));
}

TEST_F(Fill, OutsideTheImageOrWithoutOneNothingHappens) {
    ScratchImage img(10, 10);
    MAV_SetDrawColor(kGreen);
    MAV_Fill(-1, 0);
    MAV_Fill(0, 10);
    MAV_Fill(INT_MIN, INT_MAX);
    EXPECT_TRUE(img.not_equal(0).empty());
    mav::current_image() = 252;
    MAV_Fill(0, 0);
    mav::current_image() = img.slot();
    EXPECT_TRUE(img.not_equal(0).empty());
}

TEST_F(Fill, EightBitFillComparesTheByteTheImageWouldStore) {
    ScratchImage img(9, 6, 8);
    img.fill(0xFF);
    // White as an int is 0xFFFFFF but the image holds 0xFF: already filled.
    MAV_SetDrawColor(0xFFFFFF);
    MAV_Fill(2, 2);
    EXPECT_EQ(img.with(0xFF).size(), 54u);

    img.fill(0x10);
    for (int y = 0; y < 6; ++y) img.set(4, y, 0x20);
    MAV_SetDrawColor(0x123456);
    MAV_Fill(0, 0);
    EXPECT_EQ(img.with(0x56).size(), 4u * 6u);
    EXPECT_EQ(img.with(0x10).size(), 4u * 6u);
}

TEST_F(Fill, RegionOfAllOnesStopsAtTheImageEdge) {
    // 0xFFFFFFFF reads as -1, the same as "outside".
    ScratchImage img(8, 5);
    img.fill(0xFFFFFFFF);
    img.set(5, 2, 0);
    MAV_SetDrawColor(kGreen);
    MAV_Fill(0, 0);
    EXPECT_EQ(img.with(kGreen).size(), 39u);
    EXPECT_EQ(img.at(5, 2), 0u);
}

TEST_F(Fill, SeedsBeyondFourThousandAreDropped) {
    // A comb: row 1 is open, row 0 holds 5001 single-pixel teeth separated by
    // walls, row 2 is wall. Filling row 1 finds one seed per tooth; only the
    // first 4000 fit.
    constexpr int kTeeth = 5001;
    ScratchImage img(2 * kTeeth - 1, 3);
    for (int x = 0; x < img.width(); ++x) {
        img.set(x, 0, x % 2 ? kRed : 0);
        img.set(x, 2, kRed);
    }
    MAV_SetDrawColor(kGreen);
    MAV_Fill(0, 1);
    for (int x = 0; x < img.width(); ++x) ASSERT_EQ(img.at(x, 1), kGreen) << x;
    int filled = 0;
    for (int t = 0; t < kTeeth; ++t) {
        const bool green = img.at(2 * t, 0) == kGreen;
        EXPECT_EQ(green, t < 4000) << "tooth " << t;
        filled += green;
    }
    EXPECT_EQ(filled, 4000);
}

TEST_F(Fill, RunsAreDrawnAsLinesThatMoveThePen) {
    ScratchImage img(6, 1);
    MAV_SetDrawColor(kGreen);
    MAV_Fill(2, 0);
    EXPECT_EQ(pen(), (Point{5, 0}));
}

}  // namespace
