// Single-pixel access on small images: bounds, depths, the pen, XOR, rows.
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "drawing_test_support.h"

using namespace drawtest;

namespace {

class Pixels : public DrawingTest {};

TEST_F(Pixels, SetPixelStoresTheColourAndMovesThePen) {
    ScratchImage img(10, 10);
    MAV_SetPixel(3, 7, 0x00ABCDEF);
    EXPECT_EQ(img.at(3, 7), 0x00ABCDEFu);
    EXPECT_EQ(img.not_equal(0), (PointSet{{3, 7}}));
    EXPECT_EQ(pen(), (Point{3, 7}));
    EXPECT_EQ(MAV_GetPixel(3, 7), 0x00ABCDEF);
    EXPECT_EQ(MAV_ReadPixel(3, 7), 0x00ABCDEF);
}

TEST_F(Pixels, OutsidePointsWriteNothingButMoveThePen) {
    ScratchImage img(10, 10);
    img.fill(0x101010);
    MAV_SetPixel(-1, 0, 0xFFFFFF);
    EXPECT_EQ(pen(), (Point{-1, 0}));
    for (Point p : {Point{10, 0}, Point{0, 10}, Point{10, 10}, Point{INT_MIN, 0}, Point{0, INT_MAX},
                    Point{INT_MAX, INT_MIN}, Point{-1, -1}})
        MAV_SetPixel(p.first, p.second, 0xFFFFFF);
    EXPECT_EQ(pen(), (Point{-1, -1}));
    EXPECT_TRUE(img.not_equal(0x101010).empty());
}

TEST_F(Pixels, ReadsOutsideGiveZeroOrMinusOne) {
    ScratchImage img(10, 10);
    img.fill(0x123456);
    EXPECT_EQ(MAV_GetPixel(-1, 0), 0);
    EXPECT_EQ(MAV_ReadPixel(-1, 0), -1);
    EXPECT_EQ(MAV_GetPixel(0, 10), 0);
    EXPECT_EQ(MAV_ReadPixel(10, 9), -1);
    EXPECT_EQ(MAV_ReadPixel(INT_MIN, INT_MIN), -1);
    EXPECT_EQ(MAV_GetPixel(9, 9), 0x123456);
    EXPECT_EQ(MAV_GetPixel(0, 0), 0x123456);
}

TEST_F(Pixels, ThirtyTwoBitImagesStoreTheWholeInt) {
    ScratchImage img(4, 4);
    MAV_SetPixel(1, 1, 0x12345678);
    EXPECT_EQ(img.at(1, 1), 0x12345678u);
    EXPECT_EQ(MAV_GetPixel(1, 1), 0x12345678);
    // A stored -1 reads back as -1 even though ReadPixel uses -1 for outside.
    MAV_SetPixel(2, 2, -1);
    EXPECT_EQ(img.at(2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(MAV_ReadPixel(2, 2), -1);
}

TEST_F(Pixels, EightBitImagesStoreTheLowByte) {
    ScratchImage img(10, 10, 8);
    MAV_SetPixel(2, 3, 0x123456);
    EXPECT_EQ(img.at(2, 3), 0x56u);
    EXPECT_EQ(MAV_GetPixel(2, 3), 0x56);
    // Bytes read as 0..255, never sign-extended.
    MAV_SetPixel(4, 4, 0xF0);
    EXPECT_EQ(MAV_GetPixel(4, 4), 240);
    EXPECT_EQ(MAV_ReadPixel(4, 4), 240);
    EXPECT_EQ(MAV_ReadPixel(-1, 4), -1);
    EXPECT_EQ(img.not_equal(0), (PointSet{{2, 3}, {4, 4}}));
}

TEST_F(Pixels, EightBitRowsAreAddressedByTheirPaddedStride) {
    ScratchImage img(5, 3, 8);
    ASSERT_EQ(img.surface().stride(), 8);
    MAV_SetPixel(0, 1, 0x77);
    EXPECT_EQ(img.bytes()[8], 0x77);
    EXPECT_EQ(MAV_GetPixel(0, 1), 0x77);
}

TEST_F(Pixels, PutPixelLeavesThePen) {
    ScratchImage img(10, 10);
    MAV_SetPixel(1, 2, 5);
    MAV_PutPixel(6, 7, 9);
    EXPECT_EQ(img.at(6, 7), 9u);
    EXPECT_EQ(pen(), (Point{1, 2}));
    MAV_PutPixel(-5, 3, 9);
    EXPECT_EQ(pen(), (Point{1, 2}));
}

TEST_F(Pixels, XorInvertsTheColourBitsAndKeepsTheTopByte) {
    ScratchImage img(10, 10);
    img.set(4, 5, 0x12345678);
    MAV_XorPixel(4, 5);
    EXPECT_EQ(img.at(4, 5), 0x12CBA987u);
    EXPECT_EQ(pen(), (Point{4, 5}));
    MAV_XorPutPixel(4, 5);
    EXPECT_EQ(img.at(4, 5), 0x12345678u);
    MAV_XorPixel(-3, 2);
    EXPECT_EQ(pen(), (Point{-3, 2}));
    MAV_XorPutPixel(1, 1);
    EXPECT_EQ(pen(), (Point{-3, 2}));
    EXPECT_EQ(img.at(1, 1), 0xFFFFFFu);
}

TEST_F(Pixels, XorOnEightBitImagesIsBitwiseNot) {
    ScratchImage img(6, 2, 8);
    img.set(1, 1, 0x0F);
    MAV_XorPixel(1, 1);
    EXPECT_EQ(img.at(1, 1), 0xF0u);
    MAV_XorPutPixel(0, 0);
    EXPECT_EQ(img.at(0, 0), 0xFFu);
}

TEST_F(Pixels, WithoutACurrentImageEverythingIsOutside) {
    ScratchImage img(10, 10);
    img.fill(0x202020);
    // Slot 252 is free.
    mav::current_image() = 252;
    MAV_SetPixel(1, 1, 0xFFFFFF);
    MAV_PutPixel(2, 2, 0xFFFFFF);
    MAV_XorPixel(3, 3);
    EXPECT_EQ(MAV_GetPixel(1, 1), 0);
    EXPECT_EQ(MAV_ReadPixel(1, 1), -1);
    EXPECT_EQ(pen(), (Point{3, 3}));
    // A number outside the table behaves the same.
    mav::current_image() = 300;
    MAV_SetPixel(1, 1, 0xFFFFFF);
    EXPECT_EQ(MAV_ReadPixel(0, 0), -1);
    mav::current_image() = -2;
    EXPECT_EQ(MAV_GetPixel(0, 0), 0);
    mav::current_image() = img.slot();
    EXPECT_TRUE(img.not_equal(0x202020).empty());
}

TEST_F(Pixels, GetRowCopiesAndZeroesWhatLiesOutside) {
    ScratchImage img(4, 3);
    for (int x = 0; x < 4; ++x) img.set(x, 1, 0x010000u * (x + 1) + 7);
    std::vector<int> row(6, -5);
    MAV_GetRow(row.data(), 1, 6);
    EXPECT_EQ(row, (std::vector<int>{0x010007, 0x020007, 0x030007, 0x040007, 0, 0}));

    std::vector<int> outside(3, -5);
    MAV_GetRow(outside.data(), 3, 3);
    EXPECT_EQ(outside, (std::vector<int>{0, 0, 0}));

    // A short count copies only that much.
    std::vector<int> part(3, -5);
    MAV_GetRow(part.data(), 1, 2);
    EXPECT_EQ(part, (std::vector<int>{0x010007, 0x020007, -5}));
}

TEST_F(Pixels, GetRowOnEightBitImagesGivesBytes) {
    ScratchImage img(5, 2, 8);
    for (int x = 0; x < 5; ++x) img.set(x, 0, std::uint32_t(200 + x));
    std::vector<std::uint8_t> row(7, 0xEE);
    MAV_GetRow(row.data(), 0, 7);
    EXPECT_EQ(row, (std::vector<std::uint8_t>{200, 201, 202, 203, 204, 0, 0}));
}

TEST_F(Pixels, GetRowWithoutACurrentImageLeavesTheBuffer) {
    ScratchImage img(4, 4);
    mav::current_image() = 252;
    std::vector<int> row(4, -5);
    MAV_GetRow(row.data(), 0, 4);
    EXPECT_EQ(row, (std::vector<int>(4, -5)));
    mav::current_image() = img.slot();
}

TEST_F(Pixels, DrawingNeverTouchesTheRowPaddingOfEightBitImages) {
    ScratchImage img(5, 6, 8);
    plat::Surface& s = img.surface();
    ASSERT_EQ(s.stride(), 8);
    for (int y = 0; y < 6; ++y) std::memset(s.row8(y) + 5, 0xAA, 3);

    MAV_SetDrawColor(0x33);
    mav_tc = 0x44;
    for (int x = -2; x < 9; ++x) MAV_SetPixel(x, 2, 0x11);
    MAV_Line(0x22, -3, -1, 9, 7);
    MAV_Line(0x22, 7, 0, 7, 5);
    MAV_FillBox(-1, -1, 8, 7);
    MAV_XorFillBox(0, 0, 7, 5);
    MAV_XorBox(2, 1, 6, 4);
    MAV_FillCircle(4, 3, 5);
    MAV_XorFillCircle(3, 3, 4);
    MAV_Circle(0x55, 2, 2, 4);
    MAV_XorCircle(2, 2, 3);
    MAV_SetDrawColor(0x66);
    MAV_Fill(0, 0);
    mav_tx = 2;
    mav_ty = 10;
    MAV_PutString("W@");

    for (int y = 0; y < 6; ++y)
        for (int x = 5; x < 8; ++x) EXPECT_EQ(s.row8(y)[x], 0xAA) << x << "," << y;
}

}  // namespace
