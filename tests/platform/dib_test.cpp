// Packed DIBs: the layout written for both depths, round trips, the colour
// table rules when reading, the same pictures as the BMP codec reads from
// the same bytes in a file, and malformed headers refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plat/codecs/codecs.h"
#include "plat/codecs/dib.h"

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
    const std::size_t stride = 12;  // three 3-byte pixels padded to a multiple of 4
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

    // 4 bits, biClrUsed 17: the rows follow all 17 entries, the first 16 are used.
    d = header(2, 1, 4, 17);
    d.resize(40 + 17 * 4);
    for (std::uint32_t i = 0; i < 17; ++i) put32(d, 40 + 4 * i, 0x010101u * (i + 1));
    d.insert(d.end(), {0xF0, 0, 0, 0});  // pixels 15, 0
    ASSERT_TRUE(dib::to_surface(d.data(), d.size(), s, &info));
    EXPECT_EQ(info.palette_entries, 16);
    EXPECT_EQ(s.pixel(0, 0), 0x101010u);
    EXPECT_EQ(s.pixel(1, 0), 0x010101u);

    // 24 bits with a 300-entry table: skipped whole.
    d = header(1, 1, 24, 300);
    d.resize(40 + 300 * 4, 0xEE);
    d.insert(d.end(), {0x11, 0x22, 0x33, 0});
    ASSERT_TRUE(dib::to_surface(d.data(), d.size(), s, &info));
    EXPECT_EQ(info.palette_entries, 0);
    EXPECT_EQ(s.pixel(0, 0), 0x332211u);
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
    put32(d, 40, 0x0000FF);  // red and blue swapped
    put32(d, 48, 0xFF0000);
    ASSERT_TRUE(dib::to_surface(d.data(), d.size(), s));
    EXPECT_EQ(s.pixel(0, 0), 0x563412u);
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
    put32(d, 0, 14);  // a header size no header has
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
    d[14] = 7;  // a bit count not read
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 16, 1);  // run-length coding of a 24-bit picture
    EXPECT_TRUE(refused(d));
    d = good;
    put32(d, 16, 4);  // an embedded JPEG
    EXPECT_TRUE(refused(d));
    d = header(1, 1, 16, 0, 3);  // bit fields without their masks
    d.resize(40 + 8, 0);
    EXPECT_TRUE(refused(d));

    // Huge sizes fail on their own, before any memory is asked for.
    EXPECT_TRUE(refused(header(0x7FFFFFFF, 1, 24)));
    EXPECT_TRUE(refused(header(1, 0x7FFFFFFF, 24)));
    EXPECT_TRUE(refused(header(30000, 30000, 32)));
    std::vector<std::uint8_t> big = header(65536, 65536, 8);
    big.resize(40 + 1024 + 64, 0);
    EXPECT_TRUE(refused(big));

    // The rows of a picture with a declared table come after all of it.
    d = header(1, 1, 4, 17);
    d.resize(40 + 16 * 4 + 4, 0);
    EXPECT_TRUE(refused(d));
    d = header(1, 1, 24, 300);
    d.resize(40 + 300 * 4, 0);
    EXPECT_TRUE(refused(d));
    d = header(1, 1, 24, 0xFFFFFFFF);
    d.resize(40 + 4, 0);
    EXPECT_TRUE(refused(d));
    // biClrUsed 0 asks for all 256 entries of an 8-bit picture: rows alone are not enough.
    d = header(2, 1, 8);
    d.resize(40 + 4, 0);
    EXPECT_TRUE(refused(d));

    // Run-length data that stops in a literal run: the header reads, the picture does not.
    d = header(4, 1, 8, 1, 1);
    d.resize(44, 0);
    d.insert(d.end(), {0, 4, 1, 2});
    Surface s = keep;
    dib::Info info;
    EXPECT_TRUE(dib::read_info(d.data(), d.size(), info));
    EXPECT_FALSE(dib::to_surface(d.data(), d.size(), s));
    EXPECT_EQ(s.pixel(1, 1), 0x445566u);
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

namespace {

// A packed DIB of `header_size` bytes of header, `between` (masks, table)
// and w x h rows of `bits`-bit pixels from `pixel(x, row)`, row 0 stored first.
template <class PixelFn>
std::vector<std::uint8_t> dib_of(int w, int h, int bits, std::uint32_t compression, std::uint32_t header_size,
                                 const std::vector<std::uint8_t>& between, PixelFn pixel) {
    std::vector<std::uint8_t> d = header(w, h, bits, 0, compression);
    put32(d, 0, header_size);
    d.resize(header_size, 0);
    d.insert(d.end(), between.begin(), between.end());
    const int bytes = bits / 8;
    const std::size_t stride = dib::row_stride(w, bits);
    for (int row = 0; row < (h < 0 ? -h : h); ++row) {
        std::vector<std::uint8_t> r(stride, 0);
        for (int x = 0; x < w; ++x)
            for (int i = 0; i < bytes; ++i) r[std::size_t(x * bytes + i)] = std::uint8_t(pixel(x, row) >> (8 * i));
        d.insert(d.end(), r.begin(), r.end());
    }
    return d;
}

std::vector<std::uint8_t> masks(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    std::vector<std::uint8_t> m(12);
    put32(m, 0, r);
    put32(m, 4, g);
    put32(m, 8, b);
    return m;
}

// The BMP file of a packed DIB: a 14-byte file header whose pixel offset is
// where the packed reading finds the rows, `rows_at` bytes into the DIB.
std::vector<std::uint8_t> bmp_file_of(const std::vector<std::uint8_t>& d, std::size_t rows_at) {
    std::vector<std::uint8_t> f(14, 0);
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 2, std::uint32_t(14 + d.size()));
    put32(f, 10, std::uint32_t(14 + rows_at));
    f.insert(f.end(), d.begin(), d.end());
    return f;
}

std::uint32_t noise(int x, int y) {
    std::uint32_t v = std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u;
    return v ^ (v >> 13) ^ (v << 7);
}

}  // namespace

TEST(Dib, ReadsEveryPictureAsTheBmpCodecReadsTheSameBytesAsAFile) {
    struct Case {
        std::string name;
        std::vector<std::uint8_t> dib;
        std::size_t rows_at;
    };
    std::vector<Case> cases;
    // 16 bits, 5-6-5 bit fields after a 40-byte header; the first pixels full white and full red.
    cases.push_back({"16-bit 5-6-5", dib_of(7, 5, 16, 3, 40, masks(0xF800, 0x07E0, 0x001F), [](int x, int y) {
                         return x + y == 0 ? 0xFFFF : x == 1 && y == 0 ? 0xF800 : noise(x, y);
                     }), 52});
    // 16 bits without bit fields: 5-5-5, top-down; full white, red, green, blue first.
    cases.push_back({"16-bit 5-5-5", dib_of(9, -4, 16, 0, 40, {}, [](int x, int y) {
                         const std::uint32_t first[] = {0x7FFF, 0x7C00, 0x03E0, 0x001F};
                         return y == 0 && x < 4 ? first[x] : noise(x, y) & 0x7FFF;
                     }), 40});
    // 16 bits with the masks inside a version 3 header (alpha mask too): 4-4-4.
    {
        std::vector<std::uint8_t> d = dib_of(5, 3, 16, 3, 56, {}, noise);
        put32(d, 40, 0x0F00);
        put32(d, 44, 0x00F0);
        put32(d, 48, 0x000F);
        put32(d, 52, 0xF000);
        cases.push_back({"16-bit 4-4-4 in a v3 header", d, 56});
    }
    // 32 bits, 10-10-10 with blue high, after a 40-byte header; the first pixel full red.
    cases.push_back({"32-bit 10-10-10", dib_of(6, 4, 32, 3, 40, masks(0x000003FF, 0x000FFC00, 0x3FF00000),
                                              [](int x, int y) { return x + y == 0 ? 0x3FF : noise(x, y); }),
                     52});
    // 32 bits, masks of 3, 7 and 6 bits out of order, inside a version 5 header, top-down.
    {
        std::vector<std::uint8_t> d = dib_of(5, -3, 32, 3, 124, {}, noise);
        put32(d, 40, 0xE0000000);
        put32(d, 44, 0x0000FE00);
        put32(d, 48, 0x003F0000);
        cases.push_back({"32-bit 3-7-6 in a v5 header", d, 124});
    }
    // A 40-byte header with alpha bit fields: four masks follow it.
    {
        std::vector<std::uint8_t> m = masks(0x00FF0000, 0x0000FF00, 0x000000FF);
        m.insert(m.end(), {0, 0, 0, 0xFF});
        cases.push_back({"32-bit alpha fields", dib_of(3, 2, 32, 6, 40, m, noise), 56});
    }
    // 2-bit palette picture, and run-length coded 8-bit.
    {
        std::vector<std::uint8_t> d = header(5, 2, 2);
        for (std::uint32_t c : {0x102030u, 0x405060u, 0x708090u, 0xA0B0C0u}) {
            d.resize(d.size() + 4);
            put32(d, d.size() - 4, c);
        }
        d.insert(d.end(), {0x1B, 0xC0, 0, 0, 0xE4, 0x40, 0, 0});
        cases.push_back({"2-bit", d, 56});
        d = header(4, 2, 8, 3, 1);
        d.resize(40 + 12);
        for (std::uint32_t i = 0; i < 3; ++i) put32(d, 40 + 4 * i, 0x3F0000u * i + 5);
        d.insert(d.end(), {3, 2, 0, 0, 0, 3, 1, 0, 2, 0, 0, 1});
        cases.push_back({"RLE8", d, 52});
    }

    for (const Case& c : cases) {
        const std::vector<std::uint8_t> file = bmp_file_of(c.dib, c.rows_at);
        Surface from_file;
        ImageFileInfo file_info;
        const IoResult r = decode_image(file.data(), file.size(), from_file, &file_info);
        ASSERT_TRUE(r.ok) << c.name << ": " << r.message;
        Surface from_dib;
        dib::Info info;
        ASSERT_TRUE(dib::to_surface(c.dib.data(), c.dib.size(), from_dib, &info)) << c.name;
        dib::Info header_only;
        ASSERT_TRUE(dib::read_info(c.dib.data(), c.dib.size(), header_only)) << c.name;

        ASSERT_EQ(from_dib.format(), from_file.format()) << c.name;
        ASSERT_EQ(from_dib.size(), from_file.size()) << c.name;
        const std::size_t row_bytes =
            std::size_t(from_dib.width()) * (from_dib.format() == PixelFormat::Rgb32 ? 4 : 1);
        for (int y = 0; y < from_dib.height(); ++y)
            ASSERT_EQ(std::vector<std::uint8_t>(from_dib.row8(y), from_dib.row8(y) + row_bytes),
                      std::vector<std::uint8_t>(from_file.row8(y), from_file.row8(y) + row_bytes))
                << c.name << " row " << y;
        EXPECT_EQ(from_dib.palette(), from_file.palette()) << c.name;

        EXPECT_EQ(info.width, from_file.width()) << c.name;
        EXPECT_EQ(info.height, from_file.height()) << c.name;
        EXPECT_EQ(info.bits, c.dib[14]) << c.name;
        EXPECT_EQ(info.top_down, std::int32_t(u32(c.dib, 8)) < 0) << c.name;
        EXPECT_EQ(info.palette_entries, file_info.palette_entries) << c.name;
        EXPECT_EQ(header_only.bits, info.bits) << c.name;
        EXPECT_EQ(header_only.palette_entries, info.palette_entries) << c.name;
        EXPECT_EQ(header_only.top_down, info.top_down) << c.name;
    }

    // The same decoding, not the same mistake in both: the first pixels.
    Surface s;
    ASSERT_TRUE(dib::to_surface(cases[0].dib.data(), cases[0].dib.size(), s));
    EXPECT_EQ(s.pixel(0, 4), 0xFFFFFFu);  // bottom-up: stored row 0 is the bottom
    EXPECT_EQ(s.pixel(1, 4), 0xFF0000u);
    ASSERT_TRUE(dib::to_surface(cases[1].dib.data(), cases[1].dib.size(), s));
    EXPECT_EQ(s.pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(s.pixel(1, 0), 0xFF0000u);
    EXPECT_EQ(s.pixel(2, 0), 0x00FF00u);
    EXPECT_EQ(s.pixel(3, 0), 0x0000FFu);
    ASSERT_TRUE(dib::to_surface(cases[3].dib.data(), cases[3].dib.size(), s));
    EXPECT_EQ(s.pixel(0, 3), 0xFF0000u);
}
