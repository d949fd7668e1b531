// Lines, boxes and circles on small images: exact pixels, XOR forms that
// restore the picture, filled circles without holes.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <vector>

#include "drawing_test_support.h"

using namespace drawtest;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

class Shapes : public DrawingTest {};

// The plain step-by-step walk, every step, no clipping: the reference the
// drawn lines must match inside the image.
PointSet walk_line(int x1, int y1, int x2, int y2) {
    PointSet out;
    if (x1 == x2) {
        for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y) out.insert({x1, y});
        return out;
    }
    if (y1 == y2) {
        for (int x = std::min(x1, x2); x <= std::max(x1, x2); ++x) out.insert({x, y1});
        return out;
    }
    if (x1 > x2) std::swap(x1, x2), std::swap(y1, y2);
    const int dx = x2 - x1, dy = std::abs(y2 - y1), s = y2 > y1 ? 1 : -1;
    int x = x1, y = y1;
    out.insert({x, y});
    if (dx >= dy) {
        int e = (dx + 1) / 2;
        while (x != x2) {
            e -= dy;
            ++x;
            if (e <= 0) e += dx, y += s;
            out.insert({x, y});
        }
    } else {
        int e = (dy + 1) / 2;
        while (y != y2) {
            e -= dx;
            y += s;
            if (e <= 0) e += dy, ++x;
            out.insert({x, y});
        }
    }
    return out;
}

// A picture where every pixel differs, so that XOR mistakes show.
void noise(ScratchImage& img, unsigned seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) img.set(x, y, rng());
}

std::vector<std::uint32_t> snapshot(ScratchImage& img) {
    std::vector<std::uint32_t> v;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) v.push_back(img.at(x, y));
    return v;
}

PointSet rect(int l, int t, int r, int b) {
    PointSet out;
    for (int y = t; y <= b; ++y)
        for (int x = l; x <= r; ++x) out.insert({x, y});
    return out;
}

PointSet box_outline(int l, int t, int r, int b) {
    PointSet out;
    for (int x = l; x <= r; ++x) out.insert({x, t}), out.insert({x, b});
    for (int y = t; y <= b; ++y) out.insert({l, y}), out.insert({r, y});
    return out;
}

TEST_F(Shapes, ShallowLineHasTheExpectedPixelsInBothDirections) {
    ScratchImage img(10, 10);
    const PointSet expected{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}};
    MAV_Line(kWhite, 0, 0, 4, 1);
    EXPECT_EQ(img.with(kWhite), expected);
    EXPECT_EQ(pen(), (Point{4, 1}));

    img.fill(0);
    MAV_Line(kWhite, 4, 1, 0, 0);
    EXPECT_EQ(img.with(kWhite), expected);
    EXPECT_EQ(pen(), (Point{0, 0}));
}

TEST_F(Shapes, LinesDrawInTheGivenColourWithoutMovingThePenPerPixel) {
    ScratchImage img(10, 10);
    MAV_SetPixel(9, 9, 1);
    MAV_Line(0x123456, 2, 8, 2, 3);
    EXPECT_EQ(img.with(0x123456), rect(2, 3, 2, 8));
    EXPECT_EQ(pen(), (Point{2, 3}));
}

TEST_F(Shapes, LinesMatchTheFullWalkWherevertheyStartAndEnd) {
    ScratchImage img(23, 17);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> near(-40, 60);
    std::uniform_int_distribution<int> far(-600, 600);
    for (int i = 0; i < 3000; ++i) {
        auto& dist = i % 5 == 0 ? far : near;
        const int x1 = dist(rng), y1 = dist(rng), x2 = dist(rng), y2 = dist(rng);
        img.fill(0);
        MAV_Line(kWhite, x1, y1, x2, y2);
        ASSERT_EQ(img.with(kWhite), clipped(walk_line(x1, y1, x2, y2), 23, 17))
            << "(" << x1 << "," << y1 << ")-(" << x2 << "," << y2 << ")";
        ASSERT_EQ(pen(), (Point{x2, y2}));
    }
}

TEST_F(Shapes, LinesBetweenExtremeCoordinatesAreExact) {
    ScratchImage img(12, 9);
    // dx = dy = 2^32 - 1: the diagonal through the origin.
    MAV_Line(kWhite, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    PointSet diagonal;
    for (int i = 0; i < 9; ++i) diagonal.insert({i, i});
    EXPECT_EQ(img.with(kWhite), diagonal);
    EXPECT_EQ(pen(), (Point{INT_MAX, INT_MAX}));

    // Steep: x steps from 0 to 1 exactly halfway, at y = 0.
    img.fill(0);
    MAV_Line(kWhite, 0, INT_MIN, 1, INT_MAX);
    EXPECT_EQ(img.with(kWhite), rect(1, 0, 1, 8));

    img.fill(0);
    MAV_Line(kWhite, INT_MAX, 4, INT_MIN, 4);
    EXPECT_EQ(img.with(kWhite), rect(0, 4, 11, 4));
}

TEST_F(Shapes, XorLineInvertsTheLinePixelsOnceAndRestoresWhenRepeated) {
    ScratchImage img(20, 20);
    noise(img, 1);
    const auto before = snapshot(img);
    MAV_XorLine(-3, 2, 25, 13);
    PointSet changed;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (img.at(x, y) != before[std::size_t(y * 20 + x)]) {
                EXPECT_EQ(img.at(x, y), before[std::size_t(y * 20 + x)] ^ 0xFFFFFFu);
                changed.insert({x, y});
            }
    EXPECT_EQ(changed, clipped(walk_line(-3, 2, 25, 13), 20, 20));
    EXPECT_EQ(pen(), (Point{25, 13}));
    MAV_XorLine(-3, 2, 25, 13);
    EXPECT_EQ(snapshot(img), before);
}

TEST_F(Shapes, BoxDrawsTheOutlineInTheDrawColour) {
    ScratchImage img(10, 10);
    MAV_SetDrawColor(0x00FF00);
    MAV_Box(6, 7, 2, 3);
    EXPECT_EQ(img.with(0x00FF00), box_outline(2, 3, 6, 7));
    EXPECT_EQ(img.not_equal(0), box_outline(2, 3, 6, 7));
    // The last side runs from (x2, y1) to (x2, y2).
    EXPECT_EQ(pen(), (Point{2, 3}));
}

TEST_F(Shapes, FillBoxCoversTheRectangleWhicheverCornersAreGiven) {
    ScratchImage img(10, 10);
    MAV_SetDrawColor(0x0000FF);
    MAV_FillBox(2, 1, 7, 5);
    EXPECT_EQ(img.not_equal(0), rect(2, 1, 7, 5));
    EXPECT_EQ(img.with(0x0000FF), rect(2, 1, 7, 5));

    img.fill(0);
    MAV_FillBox(7, 8, 1, 3);
    EXPECT_EQ(img.not_equal(0), rect(1, 3, 7, 8));

    // Sides less than two apart: the outline alone covers the rectangle.
    img.fill(0);
    MAV_FillBox(3, 3, 4, 8);
    EXPECT_EQ(img.not_equal(0), rect(3, 3, 4, 8));
}

TEST_F(Shapes, FillBoxFarBeyondTheImageFillsItAll) {
    ScratchImage img(10, 10);
    MAV_SetDrawColor(0x777777);
    MAV_FillBox(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    EXPECT_EQ(img.with(0x777777).size(), 100u);
    MAV_XorFillBox(INT_MAX, INT_MAX, INT_MIN, INT_MIN);
    EXPECT_EQ(img.with(0x777777 ^ 0xFFFFFF).size(), 100u);
}

TEST_F(Shapes, XorBoxInvertsEachOutlinePixelExactlyOnce) {
    ScratchImage img(12, 12);
    struct Case {
        int x1, y1, x2, y2;
    };
    for (Case c : {Case{2, 3, 8, 9}, Case{8, 9, 2, 3}, Case{4, 4, 4, 4}, Case{1, 5, 9, 5}, Case{6, 1, 6, 10},
                   Case{3, 3, 4, 4}, Case{2, 2, 7, 3}, Case{5, 2, 6, 9}, Case{-3, -2, 5, 14}}) {
        img.fill(0);
        MAV_XorBox(c.x1, c.y1, c.x2, c.y2);
        const int l = std::min(c.x1, c.x2), r = std::max(c.x1, c.x2);
        const int t = std::min(c.y1, c.y2), b = std::max(c.y1, c.y2);
        EXPECT_EQ(img.with(kWhite), clipped(box_outline(l, t, r, b), 12, 12))
            << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
        EXPECT_EQ(img.not_equal(kWhite), img.with(0));
    }
}

TEST_F(Shapes, XorBoxAndXorFillBoxTwiceRestoreThePicture) {
    ScratchImage img(12, 12);
    noise(img, 2);
    const auto before = snapshot(img);
    MAV_XorBox(1, 2, 9, 10);
    EXPECT_NE(snapshot(img), before);
    MAV_XorBox(1, 2, 9, 10);
    EXPECT_EQ(snapshot(img), before);
    MAV_XorFillBox(10, 11, 3, 0);
    EXPECT_NE(snapshot(img), before);
    MAV_XorFillBox(10, 11, 3, 0);
    EXPECT_EQ(snapshot(img), before);
}

TEST_F(Shapes, XorFillBoxInvertsTheRectangleOnce) {
    ScratchImage img(10, 10);
    MAV_XorFillBox(7, 6, 2, 1);
    EXPECT_EQ(img.with(kWhite), rect(2, 1, 7, 6));
    EXPECT_EQ(img.not_equal(0), rect(2, 1, 7, 6));
}

TEST_F(Shapes, CircleOfRadiusZeroIsItsCentre) {
    ScratchImage img(20, 20);
    MAV_Circle(kWhite, 10, 10, 0);
    EXPECT_EQ(img.not_equal(0), (PointSet{{10, 10}}));
    EXPECT_EQ(pen(), (Point{10, 10}));
    MAV_XorCircle(10, 10, 0);
    EXPECT_TRUE(img.not_equal(0).empty());
    MAV_XorCircle(10, 10, 0);
    EXPECT_EQ(img.with(kWhite), (PointSet{{10, 10}}));
}

TEST_F(Shapes, CircleIsASymmetricClosedRingAtTheRadius) {
    ScratchImage img(71, 71);
    for (int r = 1; r <= 33; ++r) {
        img.fill(0);
        MAV_Circle(kWhite, 35, 35, r);
        const PointSet ring = img.with(kWhite);
        for (auto [x, y] : ring) {
            const int dx = x - 35, dy = y - 35;
            EXPECT_LT(std::abs(std::hypot(dx, dy) - r), 1.0) << "r=" << r << " " << dx << "," << dy;
            // Eightfold symmetric.
            for (Point q : {Point{-dx, dy}, Point{dx, -dy}, Point{dy, dx}, Point{-dy, -dx}})
                EXPECT_TRUE(ring.count({35 + q.first, 35 + q.second})) << "r=" << r;
            // Closed: every point has two neighbours on the ring.
            int neighbours = 0;
            for (int ny = -1; ny <= 1; ++ny)
                for (int nx = -1; nx <= 1; ++nx)
                    if ((nx || ny) && ring.count({x + nx, y + ny})) ++neighbours;
            EXPECT_GE(neighbours, 2) << "r=" << r << " " << dx << "," << dy;
        }
        // The four axis points are on it.
        EXPECT_TRUE(ring.count({35 + r, 35}) && ring.count({35 - r, 35}) && ring.count({35, 35 + r}) &&
                    ring.count({35, 35 - r}));
    }
}

TEST_F(Shapes, XorCircleInvertsEachOutlinePixelOnce) {
    ScratchImage img(61, 61);
    for (int r = 0; r <= 28; ++r) {
        img.fill(0);
        MAV_Circle(kWhite, 30, 30, r);
        const PointSet ring = img.with(kWhite);
        img.fill(0);
        MAV_XorCircle(30, 30, r);
        EXPECT_EQ(img.with(kWhite), ring) << "r=" << r;
    }
}

TEST_F(Shapes, XorCircleTwiceRestoresThePicture) {
    ScratchImage img(30, 30);
    noise(img, 3);
    const auto before = snapshot(img);
    MAV_XorCircle(12, 14, 9);
    EXPECT_NE(snapshot(img), before);
    MAV_XorCircle(12, 14, 9);
    EXPECT_EQ(snapshot(img), before);
}

// Rows of the set: y -> (min x, max x, count).
struct RowSpan {
    int min_x = INT_MAX, max_x = INT_MIN, count = 0;
};
std::map<int, RowSpan> rows_of(const PointSet& s) {
    std::map<int, RowSpan> rows;
    for (auto [x, y] : s) {
        RowSpan& r = rows[y];
        r.min_x = std::min(r.min_x, x);
        r.max_x = std::max(r.max_x, x);
        ++r.count;
    }
    return rows;
}

TEST_F(Shapes, FilledCircleIsSolidAndStaysWithinTheRadius) {
    ScratchImage img(61, 61);
    MAV_SetDrawColor(kWhite);
    for (int r = 0; r <= 28; ++r) {
        img.fill(0);
        MAV_Circle(kWhite, 30, 30, r);
        const PointSet ring = img.with(kWhite);
        img.fill(0);
        MAV_FillCircle(30, 30, r);
        const PointSet disc = img.with(kWhite);

        const auto rows = rows_of(disc);
        ASSERT_EQ(int(rows.size()), 2 * r + 1) << "r=" << r;
        EXPECT_EQ(rows.begin()->first, 30 - r);
        for (const auto& [y, span] : rows) {
            // No gaps inside a row, and centred.
            EXPECT_EQ(span.count, span.max_x - span.min_x + 1) << "r=" << r << " y=" << y;
            EXPECT_EQ(span.min_x + span.max_x, 60) << "r=" << r << " y=" << y;
        }
        for (int y = 0; y < 61; ++y)
            for (int x = 0; x < 61; ++x) {
                const int d2 = (x - 30) * (x - 30) + (y - 30) * (y - 30);
                if (disc.count({x, y})) {
                    EXPECT_LE(d2, r * r + r) << "r=" << r << " " << x << "," << y;
                }
                if (r > 0 && d2 <= (r - 1) * (r - 1)) {
                    EXPECT_TRUE(disc.count({x, y})) << "r=" << r << " " << x << "," << y;
                }
            }
        EXPECT_TRUE(std::includes(disc.begin(), disc.end(), ring.begin(), ring.end())) << "r=" << r;
        // Each row runs from the outline's leftmost to its rightmost point on that row.
        const auto ring_rows = rows_of(ring);
        for (const auto& [y, span] : rows) {
            ASSERT_TRUE(ring_rows.count(y)) << "r=" << r << " y=" << y;
            EXPECT_EQ(span.min_x, ring_rows.at(y).min_x) << "r=" << r << " y=" << y;
            EXPECT_EQ(span.max_x, ring_rows.at(y).max_x) << "r=" << r << " y=" << y;
        }
    }
}

TEST_F(Shapes, XorFilledCircleInvertsEachSpanPixelOnce) {
    ScratchImage img(61, 61);
    MAV_SetDrawColor(kWhite);
    for (int r = 0; r <= 28; ++r) {
        img.fill(0);
        MAV_FillCircle(30, 30, r);
        const PointSet disc = img.with(kWhite);
        img.fill(0);
        MAV_Circle(kWhite, 30, 30, r);
        const PointSet ring = img.with(kWhite);

        img.fill(0);
        MAV_XorFillCircle(30, 30, r);
        PointSet inside = img.with(kWhite);
        EXPECT_EQ(img.not_equal(kWhite), img.with(0));
        // A span inverted twice would leave a hole that the outline cannot fill.
        PointSet with_ring = inside;
        with_ring.insert(ring.begin(), ring.end());
        EXPECT_EQ(with_ring, disc) << "r=" << r;
        for (const auto& [y, span] : rows_of(inside))
            EXPECT_EQ(span.count, span.max_x - span.min_x + 1) << "r=" << r << " y=" << y;
    }
}

TEST_F(Shapes, XorFilledCircleTwiceRestoresThePicture) {
    ScratchImage img(30, 30);
    noise(img, 4);
    const auto before = snapshot(img);
    MAV_XorFillCircle(14, 13, 11);
    EXPECT_NE(snapshot(img), before);
    MAV_XorFillCircle(14, 13, 11);
    EXPECT_EQ(snapshot(img), before);
}

TEST_F(Shapes, CirclesCutByTheImageEdgeDrawOnlyTheirInsidePart) {
    ScratchImage img(61, 61);
    MAV_SetDrawColor(kWhite);
    MAV_FillCircle(30, 30, 12);
    const PointSet whole = img.with(kWhite);
    ScratchImage small(20, 20, 32, 250);
    MAV_SetDrawColor(kWhite);
    // The same disc with its centre at (5, 8) of the small image.
    MAV_FillCircle(5, 8, 12);
    PointSet expected;
    for (auto [x, y] : whole) expected.insert({x - 25, y - 22});
    EXPECT_EQ(small.with(kWhite), clipped(expected, 20, 20));
}

}  // namespace
