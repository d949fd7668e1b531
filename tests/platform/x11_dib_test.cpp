// Packed DIBs to and from surfaces, for the x11 backend's image clipboard.
#include <gtest/gtest.h>

#include <cstring>

#include "backends/x11/x11_dib.h"

using namespace plat;
using namespace plat::detail::x11;

namespace {

void put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = std::uint8_t(x >> (8 * i));
}

std::uint32_t get32(const std::vector<std::uint8_t>& v, std::size_t at) {
    return std::uint32_t(v[at]) | std::uint32_t(v[at + 1]) << 8 | std::uint32_t(v[at + 2]) << 16 |
           std::uint32_t(v[at + 3]) << 24;
}

// A DIB header with room for `table` palette entries and `pixel_bytes`.
std::vector<std::uint8_t> header(int w, int h, int bits, std::size_t table, std::size_t pixel_bytes,
                                 std::uint32_t used = 0) {
    std::vector<std::uint8_t> v(40 + table * 4 + pixel_bytes, 0);
    put32(v, 0, 40);
    put32(v, 4, std::uint32_t(w));
    put32(v, 8, std::uint32_t(h));
    v[12] = 1;
    v[14] = std::uint8_t(bits);
    put32(v, 32, used);
    return v;
}

Surface sample_rgb(int w, int h) {
    Surface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set_pixel(x, y, rgb(x * 40, y * 50, (x * 7 + y * 13) & 0xFF));
    return s;
}

}  // namespace

TEST(X11Dib, Rgb32RoundTripsThroughA32BitDib) {
    Surface s = sample_rgb(5, 3);
    std::vector<std::uint8_t> dib = surface_to_dib(s);
    ASSERT_EQ(dib.size(), 40u + 5 * 3 * 4);
    EXPECT_EQ(get32(dib, 0), 40u);
    EXPECT_EQ(get32(dib, 4), 5u);
    EXPECT_EQ(get32(dib, 8), 3u);  // positive: bottom-up
    EXPECT_EQ(dib[14], 32);
    EXPECT_EQ(get32(dib, 16), 0u);
    // The first stored row is the bottom one, blue first.
    EXPECT_EQ(get32(dib, 40), s.pixel(0, 2));
    Surface back;
    ASSERT_TRUE(dib_to_surface(dib.data(), dib.size(), back));
    ASSERT_EQ(back.format(), PixelFormat::Rgb32);
    ASSERT_EQ(back.size(), s.size());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(back.pixel(x, y), s.pixel(x, y)) << x << "," << y;
}

TEST(X11Dib, Indexed8RoundTripsWithItsPalette) {
    Surface s(3, 2, PixelFormat::Indexed8);
    for (int i = 0; i < 256; ++i) s.palette()[std::size_t(i)] = rgb(i, 255 - i, i / 2);
    int n = 0;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) s.set_pixel(x, y, Color(n++ * 40));
    std::vector<std::uint8_t> dib = surface_to_dib(s);
    ASSERT_EQ(dib.size(), 40u + 1024 + 4 * 2);  // rows padded to 4 bytes
    EXPECT_EQ(dib[14], 8);
    EXPECT_EQ(get32(dib, 40 + 4 * 7), s.palette()[7]);
    Surface back;
    ASSERT_TRUE(dib_to_surface(dib.data(), dib.size(), back));
    ASSERT_EQ(back.format(), PixelFormat::Indexed8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(back.row8(y)[x], s.row8(y)[x]);
            EXPECT_EQ(back.pixel(x, y), s.pixel(x, y));
        }
}

TEST(X11Dib, Reads24BitRowsPaddedAndBottomUp) {
    // 2 x 2: rows of 6 bytes padded to 8.
    std::vector<std::uint8_t> d = header(2, 2, 24, 0, 16);
    const std::uint8_t bottom[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xEE, 0xEE};
    const std::uint8_t top[] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0xEE, 0xEE};
    std::memcpy(&d[40], bottom, 8);
    std::memcpy(&d[48], top, 8);
    Surface s;
    ASSERT_TRUE(dib_to_surface(d.data(), d.size(), s));
    EXPECT_EQ(s.pixel(0, 0), 0x131211u);
    EXPECT_EQ(s.pixel(1, 0), 0x161514u);
    EXPECT_EQ(s.pixel(0, 1), 0x030201u);
    EXPECT_EQ(s.pixel(1, 1), 0x060504u);
}

TEST(X11Dib, ReadsTopDownDibs) {
    std::vector<std::uint8_t> d = header(1, -2, 32, 0, 8);
    put32(d, 40, 0x00AABBCC);
    put32(d, 44, 0x00112233);
    Surface s;
    ASSERT_TRUE(dib_to_surface(d.data(), d.size(), s));
    EXPECT_EQ(s.pixel(0, 0), 0xAABBCCu);
    EXPECT_EQ(s.pixel(0, 1), 0x112233u);
}

TEST(X11Dib, Reads8BitWithAShortColourTable) {
    // biClrUsed = 2: two entries, then the pixels.
    std::vector<std::uint8_t> d = header(2, 1, 8, 2, 4, 2);
    put32(d, 40, 0x00FF0000);
    put32(d, 44, 0x0000FF00);
    d[48] = 1;
    d[49] = 0;
    Surface s;
    ASSERT_TRUE(dib_to_surface(d.data(), d.size(), s));
    EXPECT_EQ(s.pixel(0, 0), 0x00FF00u);
    EXPECT_EQ(s.pixel(1, 0), 0xFF0000u);
    EXPECT_EQ(s.palette()[2], 0u);
}

TEST(X11Dib, Reads1And4BitPaletteDibs) {
    std::vector<std::uint8_t> one = header(3, 1, 1, 2, 4);
    put32(one, 40, 0x000000);
    put32(one, 44, 0xFFFFFF);
    one[48] = 0b10100000;
    Surface s1;
    ASSERT_TRUE(dib_to_surface(one.data(), one.size(), s1));
    EXPECT_EQ(s1.pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(s1.pixel(1, 0), 0u);
    EXPECT_EQ(s1.pixel(2, 0), 0xFFFFFFu);
    std::vector<std::uint8_t> four = header(2, 1, 4, 16, 4);
    put32(four, 40 + 4 * 3, 0x123456);
    put32(four, 40 + 4 * 12, 0x654321);
    four[40 + 64] = 0x3C;
    Surface s4;
    ASSERT_TRUE(dib_to_surface(four.data(), four.size(), s4));
    EXPECT_EQ(s4.pixel(0, 0), 0x123456u);
    EXPECT_EQ(s4.pixel(1, 0), 0x654321u);
}

TEST(X11Dib, Reads32BitBitFieldsOfTheUsualLayout) {
    std::vector<std::uint8_t> d = header(1, 1, 32, 3, 4);  // three masks where a table would be
    put32(d, 16, 3);
    put32(d, 40, 0xFF0000);
    put32(d, 44, 0xFF00);
    put32(d, 48, 0xFF);
    put32(d, 52, 0xFF102030);
    Surface s;
    ASSERT_TRUE(dib_to_surface(d.data(), d.size(), s));
    EXPECT_EQ(s.pixel(0, 0), 0x102030u);
    put32(d, 40, 0xFF);  // another layout: refused
    EXPECT_FALSE(dib_to_surface(d.data(), d.size(), s));
}

TEST(X11Dib, RefusesMalformedDibsAndLeavesTheSurface) {
    Surface keep(2, 2);
    keep.fill(0x123456);
    auto refused = [&](const std::vector<std::uint8_t>& d) {
        bool ok = dib_to_surface(d.data(), d.size(), keep);
        return !ok && keep.width() == 2 && keep.pixel(1, 1) == 0x123456u;
    };
    EXPECT_TRUE(refused({}));
    EXPECT_TRUE(refused(std::vector<std::uint8_t>(39, 0)));
    std::vector<std::uint8_t> good = header(2, 2, 32, 0, 16);
    Surface decoded;
    ASSERT_TRUE(dib_to_surface(good.data(), good.size(), decoded));
    std::vector<std::uint8_t> d = good;
    d.pop_back();  // pixels cut short
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 0, 1000);  // header longer than the data
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 4, 0);  // no width
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 8, 0);  // no height
    EXPECT_TRUE(refused(d));
    d = good;
    d[14] = 16;  // a depth we do not read
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 16, 1);  // run-length compressed
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 4, 0x7FFFFFFF);  // absurd size
    EXPECT_TRUE(refused(d));
    d = header(2, 1, 8, 0, 4, 300);  // more palette entries than 8 bits index
    EXPECT_TRUE(refused(d));
    d = header(2, 1, 8, 0, 4, 0);  // full table missing
    EXPECT_TRUE(refused(d));
}

TEST(X11Dib, BmpFilesWrapAPackedDib) {
    Surface s = sample_rgb(3, 2);
    std::vector<std::uint8_t> dib = surface_to_dib(s);
    std::vector<std::uint8_t> bmp = dib_to_bmp_file(dib);
    ASSERT_EQ(bmp.size(), dib.size() + 14);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(get32(bmp, 2), bmp.size());
    EXPECT_EQ(get32(bmp, 10), 14u + 40u);
    EXPECT_EQ(bmp_file_to_dib(bmp.data(), bmp.size()), dib);
    // Pixels placed further on than the header's end are found too.
    std::vector<std::uint8_t> gap(bmp.begin(), bmp.begin() + 54);
    gap.insert(gap.end(), 10, 0xEE);
    gap.insert(gap.end(), bmp.begin() + 54, bmp.end());
    put32(gap, 10, 64);
    EXPECT_EQ(bmp_file_to_dib(gap.data(), gap.size()), dib);
    EXPECT_TRUE(bmp_file_to_dib(bmp.data(), 20).empty());
    bmp[0] = 'X';
    EXPECT_TRUE(bmp_file_to_dib(bmp.data(), bmp.size()).empty());
}
