// Packed DIBs: the layout written for both depths, round trips, the colour
// table rules when reading, and malformed headers refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "plat/dib.h"

using namespace plat;

namespace {

std::uint32_t u32(const std::vector<std::uint8_t>& d, std::size_t at) {
    return std::uint32_t(d[at]) | std::uint32_t(d[at + 1]) << 8 | std::uint32_t(d[at + 2]) << 16 |
           std::uint32_t(d[at + 3]) << 24;
}

void put32(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

// A bare header: 40 bytes, the given size and bit count, everything else 0.
std::vector<std::uint8_t> header(int w, int h, int bits, std::uint32_t used = 0, std::uint32_t compression = 0) {
    std::vector<std::uint8_t> d(40, 0);
    put32(d, 0, 40);
    put32(d, 4, std::uint32_t(w));
    put32(d, 8, std::uint32_t(h));
    d[12] = 1;
    d[14] = std::uint8_t(bits);
    put32(d, 16, compression);
    put32(d, 32, used);
    return d;
}

Surface rgb_picture(int w, int h) {
    Surface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set_pixel(x, y, rgb(x * 40, y * 50, (x + y) * 7));
    return s;
}

}  // namespace

TEST(Dib, TrueColourIsWritten24BitBottomUpWithPaddedRows) {
    Surface s = rgb_picture(3, 2);
    s.row32(0)[0] |= 0xAB000000u;  // the top byte is not part of the colour
    std::vector<std::uint8_t> d = dib::from_surface(s);
    std::size_t stride = (3 * 3 + 3) / 4 * 4;  // 12
    ASSERT_EQ(d.size(), 40 + stride * 2);
    EXPECT_EQ(dib::packed_size(s), d.size());
    EXPECT_EQ(u32(d, 0), 40u);
    EXPECT_EQ(u32(d, 4), 3u);
    EXPECT_EQ(u32(d, 8), 2u);  // positive: bottom-up
    EXPECT_EQ(d[12] | d[13] << 8, 1);
    EXPECT_EQ(d[14] | d[15] << 8, 24);
    for (std::size_t at = 16; at < 40; at += 4) EXPECT_EQ(u32(d, at), 0u) << at;
    // The first row in the data is the picture's bottom row, blue first.
    const std::uint8_t* bottom = d.data() + 40;
    Color c = s.pixel(1, 1);
    EXPECT_EQ(bottom[3], blue_of(c));
    EXPECT_EQ(bottom[4], green_of(c));
    EXPECT_EQ(bottom[5], red_of(c));
    const std::uint8_t* top = d.data() + 40 + stride;
    EXPECT_EQ(top[2], red_of(s.pixel(0, 0)));
    EXPECT_EQ(top[9], 0);  // padding
}

TEST(Dib, PaletteImageIsWritten8BitWithAll256Entries) {
    Surface s(5, 2, PixelFormat::Indexed8);
    s.palette()[0] = 0x112233;
    s.palette()[255] = 0xFFEEDD;
    s.row8(0)[4] = 255;
    s.row8(1)[0] = 7;
    std::vector<std::uint8_t> d = dib::from_surface(s);
    ASSERT_EQ(d.size(), 40u + 1024u + 8u * 2u);
    EXPECT_EQ(d[14], 8);
    EXPECT_EQ(u32(d, 32), 0u);  // no biClrUsed: all 256 are there
    EXPECT_EQ(u32(d, 40), 0x112233u);
    EXPECT_EQ(u32(d, 40 + 255 * 4), 0xFFEEDDu);
    const std::uint8_t* rows = d.data() + 40 + 1024;
    EXPECT_EQ(rows[0], 7);        // bottom row first
    EXPECT_EQ(rows[8 + 4], 255);  // then the top row
    EXPECT_EQ(rows[8 + 5], 0);    // padding
}

TEST(Dib, RoundTripsBothDepthsAtOddWidths) {
    for (int w : {1, 2, 3, 5, 7, 13}) {
        Surface s = rgb_picture(w, 3);
        Surface back;
        dib::Info info;
        std::vector<std::uint8_t> d = dib::from_surface(s);
        ASSERT_TRUE(dib::to_surface(d.data(), d.size(), back, &info)) << w;
        EXPECT_EQ(info.bits, 24);
        EXPECT_EQ(info.palette_entries, 0);
        ASSERT_EQ(back.format(), PixelFormat::Rgb32);
        ASSERT_EQ(back.size(), s.size());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) EXPECT_EQ(back.pixel(x, y), s.pixel(x, y)) << w << " " << x << "," << y;

        Surface p(w, 3, PixelFormat::Indexed8);
        for (int i = 0; i < 256; ++i) p.palette()[std::size_t(i)] = rgb(255 - i, i, i / 2);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) p.row8(y)[x] = std::uint8_t(x * 31 + y * 17);
        d = dib::from_surface(p);
        ASSERT_TRUE(dib::to_surface(d.data(), d.size(), back, &info)) << w;
        EXPECT_EQ(info.bits, 8);
        EXPECT_EQ(info.palette_entries, 256);
        ASSERT_EQ(back.format(), PixelFormat::Indexed8);
        EXPECT_EQ(back.palette(), p.palette());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) EXPECT_EQ(back.row8(y)[x], p.row8(y)[x]) << w << " " << x << "," << y;
    }
}

TEST(Dib, ColourTableHasClrUsedEntriesOrTwoToTheBits) {
    // 4 bits, biClrUsed 3: three entries, then the pixels.
    std::vector<std::uint8_t> d = header(3, 1, 4, 3);
    for (std::uint32_t c : {0x000001u, 0x000002u, 0x00ABCDu}) {
        d.resize(d.size() + 4);
        put32(d, d.size() - 4, c);
    }
    d.insert(d.end(), {0x21, 0x00, 0x00, 0x00});  // pixels 2, 1, 0
    Surface s;
    dib::Info info;
    ASSERT_TRUE(dib::to_surface(d.data(), d.size(), s, &info));
    EXPECT_EQ(info.palette_entries, 3);
    ASSERT_EQ(s.format(), PixelFormat::Indexed8);
    EXPECT_EQ(s.row8(0)[0], 2);
    EXPECT_EQ(s.row8(0)[1], 1);
    EXPECT_EQ(s.row8(0)[2], 0);
    EXPECT_EQ(s.palette()[2], 0x00ABCDu);
    EXPECT_EQ(s.palette()[3], 0u);  // not in the table: black

    // 1 bit, biClrUsed 0: two entries.
    d = header(10, 2, 1);
    d.resize(d.size() + 8);
    put32(d, 40, 0x000000);
    put32(d, 44, 0xFFFFFF);
    d.insert(d.end(), {0x80, 0x40, 0, 0});  // bottom row: pixels 0 and 9 set
    d.insert(d.end(), {0x00, 0x00, 0, 0});  // top row
    ASSERT_TRUE(dib::to_surface(d.data(), d.size(), s, &info));
    EXPECT_EQ(info.palette_entries, 2);
    EXPECT_EQ(s.pixel(0, 1), 0xFFFFFFu);
    EXPECT_EQ(s.pixel(1, 1), 0u);
    EXPECT_EQ(s.pixel(9, 1), 0xFFFFFFu);
    EXPECT_EQ(s.pixel(0, 0), 0u);

    // 8 bits, biClrUsed 2: the rows start right after the two entries.
    d = header(3, 1, 8, 2);
    d.resize(40 + 8);
    put32(d, 40, 0xFF0000);
    put32(d, 44, 0x00FF00);
    d.insert(d.end(), {1, 0, 1, 0xEE});  // 0xEE: padding, not a pixel
    ASSERT_TRUE(dib::to_surface(d.data(), d.size(), s, &info));
    EXPECT_EQ(info.palette_entries, 2);
    ASSERT_EQ(s.size(), (Size{3, 1}));
    EXPECT_EQ(s.pixel(0, 0), 0x00FF00u);
    EXPECT_EQ(s.pixel(1, 0), 0xFF0000u);
    EXPECT_EQ(s.pixel(2, 0), 0x00FF00u);
    EXPECT_EQ(s.palette()[2], 0u);
}

TEST(Dib, ReadsThirtyTwoBitTopDownAndSkipsAnOptionalTable) {
    // 32 bits, top-down, with a 2-entry table for palette devices to skip.
    std::vector<std::uint8_t> d = header(2, -2, 32, 2);
    d.resize(40 + 8 + 16);
    put32(d, 48, 0xFF102030);  // (0, 0); the top byte is not colour
    put32(d, 52, 0x00405060);
    put32(d, 56, 0x00708090);
    put32(d, 60, 0x00A0B0C0);
    Surface s;
    dib::Info info;
    ASSERT_TRUE(dib::to_surface(d.data(), d.size(), s, &info));
    EXPECT_TRUE(info.top_down);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(s.format(), PixelFormat::Rgb32);
    EXPECT_EQ(s.pixel(0, 0), 0x102030u);
    EXPECT_EQ(s.pixel(1, 1), 0xA0B0C0u);

    // Bit fields with the usual masks after a 40-byte header.
    d = header(1, 1, 32, 0, 3);
    d.resize(40 + 12 + 4);
    put32(d, 40, 0xFF0000);
    put32(d, 44, 0x00FF00);
    put32(d, 48, 0x0000FF);
    put32(d, 52, 0x00123456);
    ASSERT_TRUE(dib::to_surface(d.data(), d.size(), s));
    EXPECT_EQ(s.pixel(0, 0), 0x123456u);
    put32(d, 40, 0x0000FF);  // other masks are not read
    EXPECT_FALSE(dib::to_surface(d.data(), d.size(), s));
}

TEST(Dib, MalformedDibsAreRefusedAndLeaveTheSurfaceAlone) {
    Surface keep(2, 2);
    keep.fill(0x445566);
    // True when both readers refuse and the surface keeps its picture.
    auto refused = [&](const std::vector<std::uint8_t>& d) {
        Surface s = keep;
        dib::Info info;
        bool ok = dib::to_surface(d.data(), d.size(), s) || dib::read_info(d.data(), d.size(), info);
        return !ok && s.size() == keep.size() && s.pixel(1, 1) == 0x445566u;
    };
    std::vector<std::uint8_t> good = dib::from_surface(rgb_picture(5, 4));
    ASSERT_FALSE(refused(good));

    EXPECT_TRUE(refused({}));
    EXPECT_TRUE(refused(std::vector<std::uint8_t>(good.begin(), good.begin() + 39)));  // short header
    EXPECT_TRUE(refused(std::vector<std::uint8_t>(good.begin(), good.end() - 1)));     // one byte short
    EXPECT_TRUE(refused(header(5, 4, 24)));                                             // no rows at all

    std::vector<std::uint8_t> d = good;
    put32(d, 0, 12);  // a header size below 40
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 0, 0x7FFFFFFF);  // a header larger than the data
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 4, 0);  // no width
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 4, 0xFFFFFFFB);  // negative width
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 8, 0);  // no height
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 8, 0x80000000);  // the height that has no positive form
    EXPECT_TRUE(refused(d));
    d = good;
    d[14] = 16;  // a bit count not read
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 16, 1);  // run-length compressed
    EXPECT_TRUE(refused(d));

    // Huge sizes fail on their own, before any memory is asked for.
    EXPECT_TRUE(refused(header(0x7FFFFFFF, 1, 24)));
    EXPECT_TRUE(refused(header(1, 0x7FFFFFFF, 24)));
    EXPECT_TRUE(refused(header(30000, 30000, 32)));
    std::vector<std::uint8_t> big = header(65536, 65536, 8);
    big.resize(40 + 1024 + 64, 0);
    EXPECT_TRUE(refused(big));

    // A colour table larger than the bit count allows.
    d = header(1, 1, 4, 17);
    d.resize(40 + 17 * 4 + 4, 0);
    EXPECT_TRUE(refused(d));
    d = header(1, 1, 24, 300);
    d.resize(40 + 300 * 4 + 4, 0);
    EXPECT_TRUE(refused(d));
    // biClrUsed 0 asks for all 256 entries of an 8-bit picture: rows alone are not enough.
    d = header(2, 1, 8);
    d.resize(40 + 4, 0);
    EXPECT_TRUE(refused(d));
}

TEST(Dib, WriteChecksTheBufferSize) {
    Surface s = rgb_picture(3, 3);
    std::vector<std::uint8_t> out(dib::packed_size(s) - 1);
    EXPECT_FALSE(dib::write(s, out.data(), out.size()));
    EXPECT_TRUE(dib::from_surface(Surface()).empty());
    EXPECT_EQ(dib::packed_size(Surface()), 0u);
    EXPECT_EQ(dib::row_stride(5, 24), 16u);
    EXPECT_EQ(dib::row_stride(5, 8), 8u);
    EXPECT_EQ(dib::row_stride(9, 1), 4u);
    EXPECT_EQ(dib::row_stride(9, 4), 8u);
}
