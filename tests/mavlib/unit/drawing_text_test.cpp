// Bitmap-font text at the image text cursor.
#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "drawing_test_support.h"

using namespace drawtest;

namespace {

constexpr std::uint32_t kInk = 0x00C0FFEE;
constexpr std::uint32_t kPaper = 0x000000FF;

class BitmapText : public DrawingTest {};

// The cell as drawn: 14 row bytes, bit 7 leftmost, read back from the image.
std::vector<int> cell_rows(ScratchImage& img, int x0, int baseline) {
    std::vector<int> rows;
    for (int i = 0; i < 14; ++i) {
        int bits = 0;
        for (int j = 0; j < 8; ++j)
            if (img.at(x0 + j, baseline - 14 + i) == kInk) bits |= 0x80 >> j;
        rows.push_back(bits);
    }
    return rows;
}

TEST_F(BitmapText, CapitalAHasItsGivenRowsAboveTheBaseline) {
    ScratchImage img(24, 20);
    img.fill(kPaper);
    mav_tc = int(kInk);
    mav_tx = 3;
    mav_ty = 17;
    MAV_PutChar('A');
    EXPECT_EQ(cell_rows(img, 3, 17),
              (std::vector<int>{0x00, 0x00, 0x18, 0x3C, 0x66, 0x66, 0x66, 0x7E, 0x66, 0x66, 0x66, 0x00, 0x00, 0x00}));
    // Nothing outside the cell, and unset bits keep the background.
    for (auto [x, y] : img.not_equal(kPaper)) {
        EXPECT_GE(x, 3);
        EXPECT_LT(x, 11);
        EXPECT_GE(y, 3);
        EXPECT_LT(y, 17);
    }
    EXPECT_EQ(img.with(kInk).size() + img.with(kPaper).size(), 480u);
    EXPECT_EQ(mav_tx, 11);
    EXPECT_EQ(mav_ty, 17);
}

TEST_F(BitmapText, SmallGDescendsIntoTheBottomRows) {
    ScratchImage img(8, 14);
    mav_tc = int(kInk);
    mav_ty = 14;
    MAV_PutChar('g');
    EXPECT_EQ(cell_rows(img, 0, 14),
              (std::vector<int>{0x00, 0x00, 0x00, 0x00, 0x3E, 0x66, 0x66, 0x66, 0x66, 0x66, 0x3E, 0x06, 0x06, 0x7C}));
}

TEST_F(BitmapText, EveryPrintableCharacterHasItsOwnGlyphInsideItsCell) {
    ScratchImage img(8, 14);
    mav_tc = int(kInk);
    std::map<std::vector<int>, int> seen;
    for (int c = 0x21; c <= 0x7F; ++c) {
        img.fill(kPaper);
        mav_tx = 0;
        mav_ty = 14;
        MAV_PutChar(c);
        const std::vector<int> rows = cell_rows(img, 0, 14);
        EXPECT_EQ(img.with(kInk).size() + img.with(kPaper).size(), 8u * 14u);
        EXPECT_FALSE(img.with(kInk).empty()) << "code " << c;
        auto [it, fresh] = seen.emplace(rows, c);
        EXPECT_TRUE(fresh) << "code " << c << " looks like code " << it->second;
    }
    // The space draws nothing but advances.
    img.fill(kPaper);
    mav_tx = 0;
    MAV_PutChar(' ');
    EXPECT_TRUE(img.with(kInk).empty());
}

TEST_F(BitmapText, WrapsWhenTheNextCellWouldNotFit) {
    ScratchImage img(100, 60);
    mav_tc = int(kInk);
    mav_tx = mav_tx0 = 0;
    mav_ty = 14;
    for (int i = 0; i < 11; ++i) MAV_PutChar('x');
    EXPECT_EQ(mav_tx, 88);
    EXPECT_EQ(mav_ty, 14);
    // The twelfth character still fits (x 88..95); then 96 > 92 wraps.
    MAV_PutChar('x');
    EXPECT_EQ(mav_tx, 0);
    EXPECT_EQ(mav_ty, 30);
    // All twelve were drawn on the first line.
    for (int k = 1; k < 12; ++k) EXPECT_EQ(cell_rows(img, 8 * k, 14), cell_rows(img, 0, 14)) << k;
    EXPECT_FALSE(img.with(kInk).empty());
}

TEST_F(BitmapText, WrapReturnsToTheLeftMargin) {
    ScratchImage img(40, 60);
    mav_tx0 = 5;
    mav_tx = 21;
    mav_ty = 20;
    MAV_PutChar('a');
    EXPECT_EQ(mav_tx, 29);
    MAV_PutChar('a');
    EXPECT_EQ(mav_tx, 5);
    EXPECT_EQ(mav_ty, 36);
}

TEST_F(BitmapText, NewlineAndIgnoredBytes) {
    ScratchImage img(30, 30);
    mav_tx0 = 4;
    mav_tx = 12;
    mav_ty = 14;
    MAV_PutChar('\n');
    EXPECT_EQ(mav_tx, 4);
    EXPECT_EQ(mav_ty, 30);
    for (int c : {0x00, 0x01, 0x09, 0x0D, 0x1F, 0x80, 0x9F, 0xC8, 0xFF, -1}) MAV_PutChar(c);
    EXPECT_EQ(mav_tx, 4);
    EXPECT_EQ(mav_ty, 30);
    EXPECT_TRUE(img.not_equal(0).empty());
}

TEST_F(BitmapText, UsesTheTextColourAndThePixelCalls) {
    ScratchImage img(10, 20, 8);
    mav_tc = 0x1234;  // 8-bit: the low byte
    mav_ty = 15;
    MAV_PutChar('I');
    EXPECT_FALSE(img.with(0x34).empty());
    EXPECT_EQ(img.with(0x34).size() + img.with(0).size(), 200u);
    // The last pixel set is the bottom-right ink of the I.
    EXPECT_EQ(pen(), (Point{5, 11}));
}

TEST_F(BitmapText, PrintImageFormatsThenDrawsLikePutString) {
    ScratchImage img(80, 40);
    mav_tc = int(kInk);
    mav_ty = 14;
    EXPECT_EQ(MAV_PrintImage("%d:%s\n%.1f", 42, "ok", 2.5), 9);
    const PointSet printed = img.with(kInk);
    const int tx = mav_tx, ty = mav_ty;

    img.fill(0);
    mav_tx = mav_tx0 = 0;
    mav_ty = 14;
    MAV_PutString("42:ok\n2.5");
    EXPECT_EQ(img.with(kInk), printed);
    EXPECT_EQ(mav_tx, tx);
    EXPECT_EQ(mav_ty, ty);
    EXPECT_EQ(tx, 24);
    EXPECT_EQ(ty, 30);
}

TEST_F(BitmapText, PrintImageCutsLongOutputAt4095Bytes) {
    ScratchImage img(10, 10);
    EXPECT_EQ(MAV_PrintImage("%6000d", 1), 4095);
    EXPECT_EQ(MAV_PrintImage(nullptr), 0);
    MAV_PutString(nullptr);
}

TEST_F(BitmapText, CharactersAtTheEdgesAreClipped) {
    ScratchImage img(12, 12);
    mav_tc = int(kInk);
    mav_tx = -4;
    mav_ty = 5;
    MAV_PutChar('H');
    for (auto [x, y] : img.with(kInk)) {
        EXPECT_LT(x, 4);
        EXPECT_LT(y, 5);
    }
    EXPECT_FALSE(img.with(kInk).empty());
    // Cursor values near the int limits wrap instead of overflowing.
    mav_tx = INT_MAX - 3;
    mav_ty = INT_MIN + 2;
    MAV_PutChar('W');
    MAV_PutChar('\n');
    EXPECT_EQ(mav_tx, mav_tx0);
}

}  // namespace
