#include <gtest/gtest.h>

#include "runtime/snapping.h"

using mav::snap_rect;
using plat::Rect;

namespace {
const Rect kNowhere{-5000, -5000, -4900, -4900};  // never equal to a list entry
}

TEST(Snapping, EdgeWithinSevenPixelsJumpsAndEightDoesNot) {
    Rect other{100, 100, 200, 200};
    // P's left edge 7 px right of other's right edge, vertically overlapping.
    Rect p7 = Rect::from_xywh(207, 120, 50, 50);
    Rect p8 = Rect::from_xywh(208, 120, 50, 50);
    EXPECT_EQ(snap_rect(p7, kNowhere, {other}), Rect::from_xywh(200, 120, 50, 50));
    EXPECT_EQ(snap_rect(p8, kNowhere, {other}), p8);
    // P's right edge 7 px left of other's left edge, and -8.
    EXPECT_EQ(snap_rect(Rect::from_xywh(43, 120, 50, 50), kNowhere, {other}).right, 100);
    EXPECT_EQ(snap_rect(Rect::from_xywh(42, 120, 50, 50), kNowhere, {other}).right, 92);
}

TEST(Snapping, TouchingHorizontallyThenAlignsTopsOrBottoms) {
    Rect other{100, 100, 200, 200};
    // Left edge 4 px inside other's right edge snaps to it; top 5 px below
    // other's top aligns. Overlaps are judged on P as proposed.
    Rect p = Rect::from_xywh(196, 105, 60, 40);
    EXPECT_EQ(snap_rect(p, kNowhere, {other}), Rect::from_xywh(200, 100, 60, 40));
    // Bottom 6 px above other's bottom aligns bottoms instead.
    Rect q = Rect::from_xywh(196, 154, 60, 40);
    EXPECT_EQ(snap_rect(q, kNowhere, {other}), Rect::from_xywh(200, 160, 60, 40));
}

TEST(Snapping, StackedVerticallyThenAlignsLefts) {
    Rect other{100, 100, 200, 200};
    // Top 3 px inside other's bottom, left 4 px right of other's left.
    Rect p = Rect::from_xywh(104, 197, 80, 30);
    EXPECT_EQ(snap_rect(p, kNowhere, {other}), Rect::from_xywh(100, 200, 80, 30));
    // Starting 3 px below, P does not overlap other vertically as proposed:
    // it only touches, the lefts stay as they were.
    Rect q = Rect::from_xywh(104, 203, 80, 30);
    EXPECT_EQ(snap_rect(q, kNowhere, {other}), Rect::from_xywh(104, 200, 80, 30));
}

TEST(Snapping, ScreenBordersAndSkippingTheWindowItself) {
    std::vector<Rect> list{{-1000, 0, 0, 1080}, {0, -1000, 1920, 0}, {1920, 0, 2920, 1080}, {0, 1080, 1920, 2080}};
    Rect near_corner = Rect::from_xywh(5, 6, 100, 100);
    EXPECT_EQ(snap_rect(near_corner, kNowhere, list), Rect::from_xywh(0, 0, 100, 100));
    Rect near_bottom_right = Rect::from_xywh(1814, 974, 100, 100);
    EXPECT_EQ(snap_rect(near_bottom_right, kNowhere, list), Rect::from_xywh(1820, 980, 100, 100));
    // The list holds the moving window's own current rectangle: it is no target.
    Rect current = Rect::from_xywh(300, 300, 100, 100);
    list.push_back(current);
    Rect p = Rect::from_xywh(303, 302, 100, 100);
    EXPECT_EQ(snap_rect(p, current, list), p);
}

TEST(Snapping, FirstMatchPerDirectionWinsAndSizeNeverChanges) {
    Rect a{0, 0, 100, 100};
    Rect b{0, 0, 103, 100};
    Rect p = Rect::from_xywh(105, 10, 70, 20);
    Rect out = snap_rect(p, kNowhere, {a, b});
    EXPECT_EQ(out.left, 100);  // a came first
    EXPECT_EQ(out.width(), 70);
    EXPECT_EQ(out.height(), 20);
    // Distances are measured from P as proposed, not from the adjusted result.
    Rect c{0, 0, 50, 50};
    Rect d{0, 0, 60, 60};
    Rect q = Rect::from_xywh(55, 55, 30, 30);
    Rect r = snap_rect(q, kNowhere, {c, d});
    EXPECT_EQ(r.width(), 30);
    EXPECT_EQ(r.height(), 30);
}
