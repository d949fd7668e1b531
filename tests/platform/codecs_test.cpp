// The image file service for every format: round trips, formats told by
// content, palettes kept, hand-made files of kinds our encoders never write,
// header-only size reading, safe saving, and malformed input per decoder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "plat/codecs/codecs.h"
#include "support/temp_folder.h"

using namespace plat;
namespace fs = std::filesystem;

namespace {

class Codecs : public testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.file(name); }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_.path())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    testsupport::TempFolder dir_{"codecs_"};
};

using Bytes = std::string;

Bytes read_all(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void write_all(const std::string& p, const Bytes& data) {
    std::ofstream f(p, std::ios::binary);
    f << data;
}

Bytes bytes(std::initializer_list<int> v) {
    Bytes s;
    for (int b : v) s += char(b);
    return s;
}
Bytes le16(unsigned v) { return bytes({int(v & 0xFF), int((v >> 8) & 0xFF)}); }
Bytes le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

Surface noise(int w, int h, std::uint32_t seed = 12345) {
    Surface s(w, h);
    std::uint32_t v = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            v = v * 1103515245u + 12345u;
            s.set_pixel(x, y, (v >> 8) & 0xFFFFFF);
        }
    return s;
}

// A smooth picture with thousands of colours.
Surface gradient(int w, int h) {
    Surface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set_pixel(x, y, rgb(x * 255 / (w - 1), y * 255 / (h - 1), (x + y) * 255 / (w + h - 2)));
    return s;
}

Surface indexed(int w, int h) {
    Surface s(w, h, PixelFormat::Indexed8);
    for (int i = 0; i < 256; ++i) s.palette()[std::size_t(i)] = rgb(255 - i, (i * 7) & 0xFF, i ^ 0x5A);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set_pixel(x, y, Color((y * 80 + x * 17) & 0xFF));
    return s;
}

Surface sentinel() {
    Surface s(3, 2);
    s.fill(0x123456);
    return s;
}

void expect_sentinel(const Surface& s, const std::string& what) {
    EXPECT_EQ(s.width(), 3) << what;
    EXPECT_EQ(s.height(), 2) << what;
    EXPECT_EQ(s.pixel(2, 1), 0x123456u) << what;
}

int max_channel_error(const Surface& a, const Surface& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const Color p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(red_of(p) - red_of(q)), std::abs(green_of(p) - green_of(q)),
                              std::abs(blue_of(p) - blue_of(q))});
        }
    return worst;
}

const ImageFormat kAllFormats[] = {ImageFormat::Bmp, ImageFormat::Jpeg, ImageFormat::Gif, ImageFormat::Png,
                                   ImageFormat::Tiff};

std::string name_of(ImageFormat f) { return std::string("pic") + image_format_extension(f); }

// ---- hand-made files ----

// A BMP: file header, a 40-byte info header and what follows it.
Bytes bmp_file(int w, int h, int bpp, std::uint32_t compression, const Bytes& palette_and_masks, const Bytes& pixels,
               std::uint32_t clr_used = 0) {
    const std::uint32_t off = 14 + 40 + std::uint32_t(palette_and_masks.size());
    Bytes info = le32(40) + le32(std::uint32_t(w)) + le32(std::uint32_t(h)) + le16(1) + le16(unsigned(bpp)) +
                 le32(compression) + le32(std::uint32_t(pixels.size())) + le32(2834) + le32(2834) + le32(clr_used) +
                 le32(0);
    return "BM" + le32(off + std::uint32_t(pixels.size())) + le32(0) + le32(off) + info + palette_and_masks + pixels;
}

Bytes quad(int r, int g, int b) { return bytes({b, g, r, 0}); }

// A minimal uncompressed TIFF: one strip, tags given as (tag, type, count, value).
struct Tag {
    int tag, type;
    std::uint32_t count, value;
};
Bytes tiff_file(std::vector<Tag> tags, const Bytes& pixels, const Bytes& extra = "") {
    // Layout: header, pixels, extra (colour map etc.), IFD.
    const std::uint32_t pixel_off = 8;
    const std::uint32_t ifd_off = pixel_off + std::uint32_t(pixels.size() + extra.size());
    Bytes out = "II" + le16(42) + le32(ifd_off) + pixels + extra;
    out += le16(unsigned(tags.size()));
    for (const Tag& t : tags) {
        out += le16(unsigned(t.tag)) + le16(unsigned(t.type)) + le32(t.count);
        out += t.type == 3 && t.count == 1 ? le16(t.value) + le16(0) : le32(t.value);
    }
    out += le32(0);
    return out;
}

Bytes png_signature() { return "\x89PNG\r\n\x1a\n"; }

}  // namespace

// ---- round trips ----

TEST_F(Codecs, Rgb32RoundTripsExactlyThroughBmpPngTiffAndFewColourGif) {
    Surface few(9, 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) few.set_pixel(x, y, rgb(x * 30, y * 40, (x * y) % 3 * 100));
    for (ImageFormat f : kAllFormats) {
        if (f == ImageFormat::Jpeg) continue;
        const Surface& s = f == ImageFormat::Gif ? few : noise(11, 6);
        const std::string p = path(name_of(f));
        const IoResult r = save_image(s, p, f);
        ASSERT_TRUE(r.ok) << name_of(f) << ": " << r.message;
        Surface back;
        ImageFileInfo info;
        const IoResult lr = load_image(p, back, &info);
        ASSERT_TRUE(lr.ok) << name_of(f) << ": " << lr.message;
        ASSERT_EQ(back.size(), s.size()) << name_of(f);
        EXPECT_EQ(max_channel_error(back, s), 0) << name_of(f);
        // Only GIF must use a palette for colour pictures.
        EXPECT_EQ(back.format() == PixelFormat::Indexed8, f == ImageFormat::Gif) << name_of(f);
        Size size;
        ASSERT_TRUE(read_image_size(p, size).ok) << name_of(f);
        EXPECT_EQ(size, s.size()) << name_of(f);
    }
    EXPECT_EQ(files(), (std::vector<std::string>{"pic.bmp", "pic.gif", "pic.png", "pic.tif"})) << "no temporaries";
}

TEST_F(Codecs, JpegRoundTripIsCloseAndQualityMatters) {
    const Surface s = gradient(64, 48);
    const std::string p = path("pic.jpg");
    ASSERT_TRUE(save_image(s, p, ImageFormat::Jpeg, 100).ok);
    Surface back;
    ImageFileInfo info;
    ASSERT_TRUE(load_image(p, back, &info).ok);
    EXPECT_EQ(info.type, ImageFileType::Jpeg);
    EXPECT_EQ(back.format(), PixelFormat::Rgb32);
    ASSERT_EQ(back.size(), s.size());
    EXPECT_LE(max_channel_error(back, s), 6);

    std::vector<std::uint8_t> best, worst;
    ASSERT_TRUE(encode_image(noise(64, 64), ImageFormat::Jpeg, 100, best).ok);
    ASSERT_TRUE(encode_image(noise(64, 64), ImageFormat::Jpeg, 10, worst).ok);
    EXPECT_GT(best.size(), worst.size() * 2);
}

TEST_F(Codecs, IndexedRoundTripsKeepIndicesAndPaletteWhereTheFormatHasOne) {
    const Surface s = indexed(5, 3);  // odd width: rows padded in memory and in BMP files
    for (ImageFormat f : kAllFormats) {
        const std::string p = path(name_of(f));
        ASSERT_TRUE(save_image(s, p, f).ok) << name_of(f);
        Surface back;
        ImageFileInfo info;
        ASSERT_TRUE(load_image(p, back, &info).ok) << name_of(f);
        ASSERT_EQ(back.size(), s.size()) << name_of(f);
        if (f == ImageFormat::Jpeg) {
            EXPECT_EQ(back.format(), PixelFormat::Rgb32);
            EXPECT_EQ(info.palette_entries, 0);
            continue;
        }
        ASSERT_EQ(back.format(), PixelFormat::Indexed8) << name_of(f);
        EXPECT_EQ(info.palette_entries, 256) << name_of(f);
        EXPECT_EQ(back.palette(), s.palette()) << name_of(f);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) ASSERT_EQ(back.row8(y)[x], s.row8(y)[x]) << name_of(f) << " " << x << "," << y;
    }
}

TEST_F(Codecs, EightBitBmpOfWidthFiveHasRowsPaddedToEightBytes) {
    const std::string p = path("five.bmp");
    ASSERT_TRUE(save_image(indexed(5, 3), p, ImageFormat::Bmp).ok);
    const Bytes data = read_all(p);
    ASSERT_EQ(data.size(), 14u + 40 + 1024 + 8 * 3);
    EXPECT_EQ(data.substr(28, 2), le16(8)) << "bits per pixel";
    EXPECT_EQ(data.substr(10, 4), le32(14 + 40 + 1024)) << "pixel offset";
    EXPECT_EQ(data.substr(22, 4), le32(3)) << "positive height: bottom-up";
}

TEST_F(Codecs, TwentyFourBitBmpLayout) {
    Surface s(2, 2);
    s.set_pixel(0, 0, 0x112233);  // top-left: stored in the last row
    s.set_pixel(1, 1, 0xAABBCC);  // bottom-right: stored in the first row
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(encode_image(s, ImageFormat::Bmp, 0, out).ok);
    const Bytes data(out.begin(), out.end());
    ASSERT_EQ(data.size(), 14u + 40 + 8 * 2);
    EXPECT_EQ(data.substr(28, 2), le16(24));
    EXPECT_EQ(data.substr(54, 8), bytes({0, 0, 0, 0xCC, 0xBB, 0xAA, 0, 0}));
    EXPECT_EQ(data.substr(62, 8), bytes({0x33, 0x22, 0x11, 0, 0, 0, 0, 0}));
}

TEST_F(Codecs, GifOfManyColoursIsReducedToAClosePaletteAndFewColoursStayExact) {
    const Surface s = gradient(96, 64);  // thousands of colours
    const std::string p = path("many.gif");
    ASSERT_TRUE(save_image(s, p, ImageFormat::Gif).ok);
    Surface back;
    ImageFileInfo info;
    ASSERT_TRUE(load_image(p, back, &info).ok);
    ASSERT_EQ(back.format(), PixelFormat::Indexed8);
    EXPECT_LE(info.palette_entries, 256);
    std::set<Color> used;
    long long total = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x) {
            used.insert(back.pixel(x, y));
            const Color a = back.pixel(x, y), b = s.pixel(x, y);
            total += std::abs(red_of(a) - red_of(b)) + std::abs(green_of(a) - green_of(b)) +
                     std::abs(blue_of(a) - blue_of(b));
        }
    EXPECT_GT(used.size(), 100u);
    EXPECT_LE(max_channel_error(back, s), 24);
    EXPECT_LT(double(total) / (96 * 64 * 3), 4.0);

    // Three colours: a four-entry table holding exactly them.
    Surface three(4, 1);
    three.set_pixel(0, 0, 0xFF0000);
    three.set_pixel(1, 0, 0x00FF00);
    three.set_pixel(2, 0, 0x0000FF);
    three.set_pixel(3, 0, 0xFF0000);
    ASSERT_TRUE(save_image(three, path("three.gif"), ImageFormat::Gif).ok);
    ASSERT_TRUE(load_image(path("three.gif"), back, &info).ok);
    EXPECT_EQ(info.palette_entries, 4);
    EXPECT_EQ(max_channel_error(back, three), 0);
}

namespace {

// A photo-like picture: smooth shading in every channel with a little
// grain, so that nearly every pixel has a colour of its own.
Surface photo_like(int w, int h) {
    Surface s(w, h);
    std::uint32_t v = 99;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            v = v * 1103515245u + 12345u;
            const int grain = int((v >> 16) % 7) - 3;
            const double r = 128 + 100 * std::sin(x / 9.0 + y / 23.0);
            const double g = 120 + 90 * std::cos(y / 11.0 - x / 31.0);
            const double b = 60 + 2.0 * (x * y) / (w + h) + 30 * std::sin((x + y) / 7.0);
            auto channel = [grain](double c) { return std::clamp(int(c) + grain, 0, 255); };
            s.set_pixel(x, y, rgb(channel(r), channel(g), channel(b)));
        }
    return s;
}

}  // namespace

TEST_F(Codecs, GifOfAPhotoLikePictureStaysCloseToTheOriginalEverywhere) {
    const Surface s = photo_like(64, 64);
    std::set<Color> original;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) original.insert(s.pixel(x, y));
    ASSERT_GT(original.size(), 1000u) << "the picture must need reducing";

    std::vector<std::uint8_t> gif;
    ASSERT_TRUE(encode_image(s, ImageFormat::Gif, 0, gif).ok);
    Surface back;
    ImageFileInfo info;
    ASSERT_TRUE(decode_image(gif.data(), gif.size(), back, &info).ok);
    ASSERT_EQ(back.format(), PixelFormat::Indexed8);
    ASSERT_EQ(back.size(), s.size());
    EXPECT_GT(info.palette_entries, 128) << "the palette is put to use";
    EXPECT_LE(info.palette_entries, 256);
    long long total = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Color a = back.pixel(x, y), b = s.pixel(x, y);
            total += std::abs(red_of(a) - red_of(b)) + std::abs(green_of(a) - green_of(b)) +
                     std::abs(blue_of(a) - blue_of(b));
        }
    const double mean = double(total) / (64 * 64 * 3);
    const int worst = max_channel_error(back, s);
    // libimagequant gives a mean of about 4.2 and a largest error of 24 here.
    // A fixed 6 x 7 x 6 palette gives 11.9 and 25, the first 256 colours met
    // 17.8 and 93, a good reduction to only 64 colours 7.4 and 33.
    EXPECT_LT(mean, 6.0) << "mean error per channel";
    EXPECT_LE(worst, 32) << "largest error of any channel";
}

TEST_F(Codecs, GifKeepsExactlyTwoHundredFiftySixColoursAndReducesOneMore) {
    Surface s(16, 17);
    for (int i = 0; i < 256; ++i) s.set_pixel(i % 16, i / 16, rgb(i, (i * 7) & 0xFF, 255 - i));
    for (int x = 0; x < 16; ++x) s.set_pixel(x, 16, s.pixel(x, 0));
    std::vector<std::uint8_t> gif;
    ASSERT_TRUE(encode_image(s, ImageFormat::Gif, 0, gif).ok);
    Surface back;
    ImageFileInfo info;
    ASSERT_TRUE(decode_image(gif.data(), gif.size(), back, &info).ok);
    EXPECT_EQ(info.palette_entries, 256);
    EXPECT_EQ(max_channel_error(back, s), 0) << "256 colours fit the palette exactly";

    // One colour more: reduced to at most 256, and nothing lands far away.
    s.set_pixel(15, 16, rgb(3, 200, 100));
    ASSERT_TRUE(encode_image(s, ImageFormat::Gif, 0, gif).ok);
    ASSERT_TRUE(decode_image(gif.data(), gif.size(), back, &info).ok);
    EXPECT_LE(info.palette_entries, 256);
    EXPECT_LE(max_channel_error(back, s), 8);
}

TEST_F(Codecs, FormatIsToldByContentNotName) {
    ASSERT_TRUE(save_image(noise(4, 4), path("really-a-png.bmp"), ImageFormat::Png).ok);
    ASSERT_TRUE(save_image(noise(4, 4), path("really-a-gif.jpg"), ImageFormat::Gif).ok);
    ASSERT_TRUE(save_image(noise(4, 4), path("noext"), ImageFormat::Tiff).ok);
    const std::pair<const char*, ImageFileType> cases[] = {{"really-a-png.bmp", ImageFileType::Png},
                                                           {"really-a-gif.jpg", ImageFileType::Gif},
                                                           {"noext", ImageFileType::Tiff}};
    for (auto [name, type] : cases) {
        Surface s;
        ImageFileInfo info;
        ASSERT_TRUE(load_image(path(name), s, &info).ok) << name;
        EXPECT_EQ(info.type, type) << name;
    }
    EXPECT_EQ(image_format_extension(ImageFormat::Tiff), std::string(".tif"));
    EXPECT_EQ(image_format_extension(ImageFormat::Jpeg), std::string(".jpg"));
}

// ---- BMP kinds our encoder never writes ----

TEST_F(Codecs, BmpLowDepthsBitFieldsTopDownAndCoreHeader) {
    struct Case {
        const char* name;
        Bytes file;
        int w, h;
        std::vector<Color> want;  // row-major, top row first
        bool indexed;
        int entries;
    };
    const Bytes pal2 = quad(255, 0, 0) + quad(0, 0, 255);
    Bytes pal16;
    for (int i = 0; i < 16; ++i) pal16 += quad(i * 16, 0, 0);
    const Case cases[] = {
        // 1-bit, 3 x 2, bottom-up: the first stored row is the bottom one.
        {"1bit", bmp_file(3, 2, 1, 0, pal2, bytes({0xA0, 0, 0, 0, 0x40, 0, 0, 0})), 3, 2,
         {0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF}, true, 2},
        // 4-bit with two colours used.
        {"4bit", bmp_file(2, 1, 4, 0, pal16.substr(0, 8), bytes({0x10, 0, 0, 0}), 2), 2, 1, {0x100000, 0x000000},
         true, 2},
        // 24-bit top-down (negative height).
        {"24bit-topdown", bmp_file(1, -2, 24, 0, "", bytes({1, 2, 3, 0, 4, 5, 6, 0})), 1, 2, {0x030201, 0x060504},
         false, 0},
        // 16-bit 5-5-5 without fields: 0x7C00 is full red.
        {"16bit-555", bmp_file(2, 1, 16, 0, "", le16(0x7C00) + le16(0x001F)), 2, 1, {0xFF0000, 0x0000FF}, false, 0},
        // 16-bit 5-6-5 with bit fields after the header.
        {"16bit-565", bmp_file(1, 1, 16, 3, le32(0xF800) + le32(0x07E0) + le32(0x001F), le16(0x07E0) + le16(0)), 1,
         1, {0x00FF00}, false, 0},
        // 32-bit with fields in an unusual order (blue high).
        {"32bit-fields",
         bmp_file(1, 1, 32, 3, le32(0x000000FF) + le32(0x0000FF00) + le32(0x00FF0000), le32(0x00332211)), 1, 1,
         {0x112233}, false, 0},
        // RLE8: a run of 3 x index 1, end of line, 1 literal pair, end of bitmap; 3 x 2.
        {"rle8",
         bmp_file(3, 2, 8, 1, quad(0, 0, 0) + quad(9, 9, 9),
                  bytes({3, 1, 0, 0, 0, 3, 1, 0, 1, 0, 0, 1}), 2),
         3, 2, {0x090909, 0x000000, 0x090909, 0x090909, 0x090909, 0x090909}, true, 2},
        // RLE4: a run of 4 alternating 1,2; delta to the next line; end.
        {"rle4", bmp_file(4, 2, 4, 2, pal16, bytes({4, 0x12, 0, 2, 0, 1, 0, 1})), 4, 2,
         {0x000000, 0x000000, 0x000000, 0x000000, 0x100000, 0x200000, 0x100000, 0x200000}, true, 16},
    };
    for (const Case& c : cases) {
        Surface s;
        ImageFileInfo info;
        const IoResult r = decode_image(reinterpret_cast<const std::uint8_t*>(c.file.data()), c.file.size(), s, &info);
        ASSERT_TRUE(r.ok) << c.name << ": " << r.message;
        ASSERT_EQ(s.size(), (Size{c.w, c.h})) << c.name;
        EXPECT_EQ(s.format() == PixelFormat::Indexed8, c.indexed) << c.name;
        EXPECT_EQ(info.palette_entries, c.entries) << c.name;
        for (int i = 0; i < c.w * c.h; ++i)
            EXPECT_EQ(s.pixel(i % c.w, i / c.w), c.want[std::size_t(i)]) << c.name << " pixel " << i;
    }

    // The OS/2 core header: 12 bytes, three-byte palette entries.
    const Bytes core_info = le32(12) + le16(2) + le16(1) + le16(1) + le16(1);
    const Bytes core_pal = bytes({0, 0, 0, 0x30, 0x20, 0x10});
    const Bytes core = "BM" + le32(14 + 12 + 6 + 4) + le32(0) + le32(14 + 12 + 6) + core_info + core_pal +
                       bytes({0x40, 0, 0, 0});
    write_all(path("core.bmp"), core);
    Surface s;
    ASSERT_TRUE(load_image(path("core.bmp"), s).ok);
    EXPECT_EQ(s.pixel(0, 0), 0x000000u);
    EXPECT_EQ(s.pixel(1, 0), 0x102030u);
    Size size;
    ASSERT_TRUE(read_image_size(path("core.bmp"), size).ok);
    EXPECT_EQ(size, (Size{2, 1}));
}

// ---- ICO ----

namespace {

// An icon directory over the given images; each entry's nominal size is
// (w, h) with 0 standing for 256.
Bytes ico_file(const std::vector<std::pair<std::pair<int, int>, Bytes>>& images) {
    Bytes dir = le16(0) + le16(1) + le16(unsigned(images.size()));
    std::uint32_t off = 6 + 16 * std::uint32_t(images.size());
    Bytes data;
    for (const auto& [wh, img] : images) {
        dir += bytes({wh.first & 0xFF, wh.second & 0xFF, 0, 0}) + le16(1) + le16(32) +
               le32(std::uint32_t(img.size())) + le32(off);
        off += std::uint32_t(img.size());
        data += img;
    }
    return dir + data;
}

// A DIB icon image: 24-bit colour rows then the AND mask, bottom-up.
Bytes dib_icon_24(int w, int h, Color fill, const std::vector<std::pair<int, int>>& transparent) {
    Bytes info = le32(40) + le32(std::uint32_t(w)) + le32(std::uint32_t(2 * h)) + le16(1) + le16(24) + le32(0) +
                 le32(0) + le32(0) + le32(0) + le32(0) + le32(0);
    const int stride = (w * 3 + 3) / 4 * 4;
    Bytes rows;
    for (int row = 0; row < h; ++row) {
        Bytes r;
        for (int x = 0; x < w; ++x) r += bytes({blue_of(fill), green_of(fill), red_of(fill)});
        r.resize(std::size_t(stride), '\0');
        rows += r;
    }
    const int mstride = (w + 31) / 32 * 4;
    Bytes mask(std::size_t(mstride * h), '\0');
    for (auto [x, y] : transparent) mask[std::size_t((h - 1 - y) * mstride + x / 8)] |= char(0x80 >> (x % 8));
    return info + rows + mask;
}

}  // namespace

TEST_F(Codecs, IcoReadsTheLargestImageWithItsMask) {
    const Bytes small = dib_icon_24(2, 2, 0x00FF00, {});
    const Bytes large = dib_icon_24(4, 3, 0x3366CC, {{0, 0}, {3, 2}});
    write_all(path("icon.ico"), ico_file({{{2, 2}, small}, {{4, 3}, large}}));
    Surface s;
    ImageFileInfo info;
    const IoResult r = load_image(path("icon.ico"), s, &info);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(info.type, ImageFileType::Ico);
    ASSERT_EQ(s.size(), (Size{4, 3}));
    EXPECT_EQ(s.format(), PixelFormat::Rgb32);
    EXPECT_EQ(s.pixel(0, 0), 0u) << "masked: black";
    EXPECT_EQ(s.pixel(3, 2), 0u) << "masked: black";
    EXPECT_EQ(s.pixel(1, 0), 0x3366CCu);
    EXPECT_EQ(s.pixel(3, 1), 0x3366CCu);
    Size size;
    ASSERT_TRUE(read_image_size(path("icon.ico"), size).ok);
    EXPECT_EQ(size, (Size{4, 3}));
}

TEST_F(Codecs, IcoWithAlphaAndIcoHoldingAPng) {
    // 32-bit, 1 x 1, alpha 0x80 over colour 0xFF8000: weighed towards black.
    const Bytes info = le32(40) + le32(1) + le32(2) + le16(1) + le16(32) + le32(0) + le32(0) + le32(0) + le32(0) +
                       le32(0) + le32(0);
    const Bytes alpha_icon = info + bytes({0x00, 0x80, 0xFF, 0x80}) + le32(0);
    write_all(path("alpha.ico"), ico_file({{{1, 1}, alpha_icon}}));
    Surface s;
    ASSERT_TRUE(load_image(path("alpha.ico"), s).ok);
    EXPECT_EQ(s.pixel(0, 0), rgb(128, 64, 0));

    std::vector<std::uint8_t> png;
    const Surface pic = noise(5, 4);
    ASSERT_TRUE(encode_png(pic, png).ok);
    write_all(path("png.ico"), ico_file({{{5, 4}, Bytes(png.begin(), png.end())}}));
    ASSERT_TRUE(load_image(path("png.ico"), s).ok);
    EXPECT_EQ(max_channel_error(s, pic), 0);
    Size size;
    ASSERT_TRUE(read_image_size(path("png.ico"), size).ok);
    EXPECT_EQ(size, (Size{5, 4}));
}

// ---- TIFF kinds our encoder never writes ----

TEST_F(Codecs, TiffGreyAndFourBitPalette) {
    // 2 x 1 greyscale (min-is-black), uncompressed.
    const Bytes grey = tiff_file({{256, 3, 1, 2}, {257, 3, 1, 1}, {258, 3, 1, 8}, {259, 3, 1, 1}, {262, 3, 1, 1},
                                  {273, 4, 1, 8}, {277, 3, 1, 1}, {278, 3, 1, 1}, {279, 4, 1, 2}},
                                 bytes({0x10, 0xF0}));
    write_all(path("grey.tif"), grey);
    Surface s;
    ImageFileInfo info;
    IoResult r = load_image(path("grey.tif"), s, &info);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(s.format(), PixelFormat::Rgb32);
    EXPECT_EQ(s.pixel(0, 0), 0x101010u);
    EXPECT_EQ(s.pixel(1, 0), 0xF0F0F0u);

    // 3 x 1 four-bit palette picture: colour map of 3 x 16 shorts after the pixels.
    Bytes map;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 16; ++i) map += le16(unsigned(c == 0 ? i * 0x1111 : c == 1 ? 0x8080 : 0));
    const std::uint32_t map_off = 8 + 2;
    const Bytes pal = tiff_file({{256, 3, 1, 3}, {257, 3, 1, 1}, {258, 3, 1, 4}, {259, 3, 1, 1}, {262, 3, 1, 3},
                                 {273, 4, 1, 8}, {277, 3, 1, 1}, {278, 3, 1, 1}, {279, 4, 1, 2}, {320, 3, 48, map_off}},
                                bytes({0x1F, 0x20}), map);
    write_all(path("pal.tif"), pal);
    r = load_image(path("pal.tif"), s, &info);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(s.format(), PixelFormat::Indexed8);
    EXPECT_EQ(info.palette_entries, 16);
    EXPECT_EQ(s.row8(0)[0], 1);
    EXPECT_EQ(s.row8(0)[1], 15);
    EXPECT_EQ(s.row8(0)[2], 2);
    EXPECT_EQ(s.palette()[15], rgb(0xFF, 0x80, 0));
    Size size;
    ASSERT_TRUE(read_image_size(path("pal.tif"), size).ok);
    EXPECT_EQ(size, (Size{3, 1}));
}

// ---- sizes from headers ----

TEST_F(Codecs, ReadImageSizeReadsHeadersOnly) {
    // A file whose pixel data is missing still has a readable size.
    for (ImageFormat f : kAllFormats) {
        const std::string p = path(name_of(f));
        ASSERT_TRUE(save_image(gradient(300, 200), p, f).ok);
        const Bytes full = read_all(p);
        if (f != ImageFormat::Tiff) write_all(p, full.substr(0, 1000));  // TIFF keeps its directory at the end
        Size size;
        const IoResult r = read_image_size(p, size);
        ASSERT_TRUE(r.ok) << name_of(f) << ": " << r.message;
        EXPECT_EQ(size, (Size{300, 200})) << name_of(f);
    }
    Size size;
    EXPECT_EQ(read_image_size(path("missing.png"), size).message, "no such file");
    write_all(path("text.txt"), "hello, not a picture");
    EXPECT_EQ(read_image_size(path("text.txt"), size).message, "not an image file");
    EXPECT_FALSE(read_image_size(dir_.str(), size).ok);
}

// ---- malformed input ----

TEST_F(Codecs, TruncatedFilesFailCleanlyInEveryDecoder) {
    std::vector<std::pair<std::string, Bytes>> good;
    for (ImageFormat f : kAllFormats) {
        std::vector<std::uint8_t> out;
        ASSERT_TRUE(encode_image(noise(40, 30), f, 90, out).ok);
        good.emplace_back(name_of(f), Bytes(out.begin(), out.end()));
    }
    good.emplace_back("pic.ico", ico_file({{{8, 8}, dib_icon_24(8, 8, 0x123456, {{1, 1}})}}));
    for (const auto& [name, full] : good) {
        for (std::size_t keep : {std::size_t(0), std::size_t(3), std::size_t(10), std::size_t(30), full.size() / 3,
                                 full.size() / 2, full.size() - 20}) {
            Surface out = sentinel();
            const IoResult r = decode_image(reinterpret_cast<const std::uint8_t*>(full.data()), keep, out);
            EXPECT_FALSE(r.ok) << name << " kept " << keep;
            EXPECT_FALSE(r.message.empty()) << name;
            expect_sentinel(out, name);
        }
    }
}

TEST_F(Codecs, GarbageAndUnknownContentFail) {
    const Bytes cases[] = {
        "",
        "hello",
        Bytes("BM") + Bytes(60, '\xFF'),
        Bytes("\xFF\xD8\xFF") + Bytes(100, '\x07'),
        Bytes("GIF89a") + Bytes(50, '\xEE'),
        Bytes("II*\0", 4) + Bytes(60, '\xAB'),
        Bytes("MM\0*", 4) + le32(0xFFFFFF00),
        bytes({0, 0, 1, 0, 1, 0}) + Bytes(16, '\xFF'),
        png_signature() + Bytes(40, 'x'),
    };
    for (const Bytes& data : cases) {
        Surface out = sentinel();
        const IoResult r = decode_image(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), out);
        EXPECT_FALSE(r.ok) << data.size();
        EXPECT_FALSE(r.message.empty());
        expect_sentinel(out, "garbage");
        write_all(path("garbage"), data);
        Size size;
        EXPECT_FALSE(read_image_size(path("garbage"), size).ok) << data.size();
    }
    Surface out = sentinel();
    EXPECT_EQ(load_image(path("missing"), out).message, "no such file");
    EXPECT_EQ(load_image(dir_.str(), out).message, "a directory, not a file");
    // A pipe neither blocks nor feeds the reader without end.
    const std::string fifo = path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(load_image(fifo, out).message, "a FIFO, not a file");
    Size size;
    EXPECT_FALSE(read_image_size(fifo, size).ok);
    expect_sentinel(out, "missing");
}

TEST_F(Codecs, AbsurdSizesAreRefusedBeforeAllocating) {
    // Valid small files with their size fields raised: each must be refused
    // from the header (with 2^31 pixels an allocation would show in the test
    // time and memory), never decoded.
    auto patch = [](Bytes data, std::size_t at, const Bytes& value) {
        data.replace(at, value.size(), value);
        return data;
    };
    std::vector<std::uint8_t> enc;
    std::vector<std::pair<std::string, Bytes>> bad;
    ASSERT_TRUE(encode_image(noise(8, 8), ImageFormat::Bmp, 0, enc).ok);
    const Bytes bmp(enc.begin(), enc.end());
    bad.emplace_back("bmp-wide", patch(bmp, 18, le32(0x7FFFFFFF)));
    bad.emplace_back("bmp-tall-topdown", patch(bmp, 22, le32(0x80000001)));
    bad.emplace_back("bmp-16k-square", patch(patch(bmp, 18, le32(16000)), 22, le32(16000)));
    bad.emplace_back("bmp-rle-huge", bmp_file(30000, 30000, 8, 1, quad(0, 0, 0), bytes({0, 1})));
    ASSERT_TRUE(encode_image(noise(8, 8), ImageFormat::Gif, 0, enc).ok);
    const Bytes gif(enc.begin(), enc.end());
    bad.emplace_back("gif-screen", patch(gif, 6, le16(65535) + le16(65535)));
    ASSERT_TRUE(encode_image(noise(8, 8), ImageFormat::Jpeg, 90, enc).ok);
    Bytes jpeg(enc.begin(), enc.end());
    const std::size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, Bytes::npos);
    bad.emplace_back("jpeg-65500", patch(jpeg, sof + 5, bytes({0xFF, 0xDC, 0xFF, 0xDC})));
    bad.emplace_back("jpeg-16k", patch(jpeg, sof + 5, bytes({0x3E, 0x80, 0x3E, 0x80})));
    ASSERT_TRUE(encode_image(noise(8, 8), ImageFormat::Tiff, 0, enc).ok);
    bad.emplace_back("tiff-huge", Bytes(enc.begin(), enc.end()));  // patched below through its tags
    {
        Bytes& t = bad.back().second;
        const std::uint32_t ifd = std::uint32_t(std::uint8_t(t[4])) | std::uint32_t(std::uint8_t(t[5])) << 8 |
                                  std::uint32_t(std::uint8_t(t[6])) << 16 | std::uint32_t(std::uint8_t(t[7])) << 24;
        const int count = std::uint8_t(t[ifd]) | std::uint8_t(t[ifd + 1]) << 8;
        for (int i = 0; i < count; ++i) {
            const std::size_t e = ifd + 2 + 12 * std::size_t(i);
            const int tag = std::uint8_t(t[e]) | std::uint8_t(t[e + 1]) << 8;
            if (tag == 256 || tag == 257) t.replace(e + 2, 10, le16(4) + le32(1) + le32(0x40000000));
        }
    }
    bad.emplace_back("ico-huge", patch(ico_file({{{8, 8}, dib_icon_24(8, 8, 0, {})}}), 22 + 4, le32(0x7FFFFFF0)));
    for (const auto& [name, data] : bad) {
        Surface out = sentinel();
        const IoResult r = decode_image(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), out);
        EXPECT_FALSE(r.ok) << name;
        EXPECT_FALSE(r.message.empty()) << name;
        expect_sentinel(out, name);
    }
}

TEST_F(Codecs, FlippedBytesNeverCrashAnyDecoder) {
    std::vector<Bytes> seeds;
    for (ImageFormat f : kAllFormats) {
        std::vector<std::uint8_t> out;
        ASSERT_TRUE(encode_image(f == ImageFormat::Gif ? indexed(24, 16) : noise(24, 16), f, 80, out).ok);
        seeds.emplace_back(out.begin(), out.end());
    }
    seeds.push_back(ico_file({{{8, 8}, dib_icon_24(8, 8, 0x123456, {{1, 1}})}}));
    std::uint32_t v = 99;
    int decoded = 0;
    for (const Bytes& seed : seeds) {
        for (int round = 0; round < 150; ++round) {
            Bytes data = seed;
            for (int k = 0; k < 4; ++k) {
                v = v * 1103515245u + 12345u;
                // Leave the magic alone so that each decoder is the one reached.
                const std::size_t at = 4 + (v >> 8) % (data.size() - 4);
                data[at] = char(data[at] ^ (1 << ((v >> 4) & 7)));
            }
            Surface out;
            if (decode_image(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), out).ok) {
                ++decoded;
                EXPECT_FALSE(out.is_null());
            }
        }
    }
    SUCCEED() << decoded << " of the damaged files still decoded";
}

// ---- saving ----

TEST_F(Codecs, SaveReplacesAnExistingFileAndFailsCleanlyIntoAMissingFolder) {
    const std::string p = path("out.gif");
    write_all(p, "old contents");
    ASSERT_TRUE(save_image(noise(4, 4), p, ImageFormat::Gif).ok);
    Surface back;
    ASSERT_TRUE(load_image(p, back).ok);
    EXPECT_EQ(files(), std::vector<std::string>{"out.gif"});

    for (ImageFormat f : kAllFormats) {
        const IoResult r = save_image(noise(4, 4), path("no-such-dir/x"), f);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, "cannot open file for writing: No such file or directory");
    }
    EXPECT_EQ(save_image(Surface(), path("empty.bmp"), ImageFormat::Bmp).message, "empty image");
    EXPECT_EQ(save_image(noise(2, 2), path("odd"), ImageFormat(9)).message, "unknown image format");
    EXPECT_EQ(files(), std::vector<std::string>{"out.gif"});
}

TEST_F(Codecs, WriteErrorMidwayKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string p = path("keep.tif");
    write_all(p, "previous");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{};
        lim.rlim_cur = lim.rlim_max = 1000;
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) ::_exit(3);
        const IoResult r = save_image(noise(64, 64), p, ImageFormat::Tiff);
        ::_exit(r.ok ? 1 : r.message == "cannot write file: File too large" ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: save succeeded, 2: unexpected message";
    EXPECT_EQ(read_all(p), "previous");
    EXPECT_EQ(files(), std::vector<std::string>{"keep.tif"});
}
