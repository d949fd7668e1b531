// WMF and EMF pictures through the image file service: the size each header
// gives, where the window or frame puts the drawing, colours, detection by
// content, header-only sizes, and damaged files that must fail cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "plat/codecs/codecs.h"
#include "support/metafile_bytes.h"
#include "support/temp_folder.h"

using namespace plat;
using testsupport::Box;
using testsupport::emf_file;
using testsupport::EmfPicture;
using testsupport::MetafileBytes;
using testsupport::wmf_file;
using testsupport::WmfPicture;

namespace {

constexpr Color kWhite = 0xFFFFFF;
constexpr Color kBrush = 0x2080C0;

struct Expected {
    Size size;
    Box rectangle;  // in pixels, right and bottom outside
};

// The whole picture: the brush inside the rectangle, white outside it. Only
// the one-pixel band on the rectangle's edge may go either way (how a
// renderer rounds an edge is its own business).
void expect_picture(const Surface& s, const Expected& e, const std::string& what) {
    ASSERT_EQ(s.width(), e.size.width) << what;
    ASSERT_EQ(s.height(), e.size.height) << what;
    ASSERT_EQ(s.format(), PixelFormat::Rgb32) << what;
    const Box& r = e.rectangle;
    int wrong = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            const bool inside = x > r.left && x < r.right - 1 && y > r.top && y < r.bottom - 1;
            const bool outside = x < r.left - 1 || x > r.right || y < r.top - 1 || y > r.bottom;
            const Color p = s.pixel(x, y);
            if ((inside && p != kBrush) || (outside && p != kWhite)) {
                if (++wrong <= 5) ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex << p;
            }
        }
    EXPECT_EQ(wrong, 0) << what;
}

std::string as_string(const MetafileBytes& b) { return std::string(b.begin(), b.end()); }

IoResult decode(const MetafileBytes& b, Surface& out, ImageFileInfo* info = nullptr) {
    return decode_image(b.data(), b.size(), out, info);
}

Surface sentinel() {
    Surface s(3, 2);
    s.fill(0x123456);
    return s;
}

struct Case {
    const char* name;
    MetafileBytes bytes;
    ImageFileType type;
    Expected expected;
};

std::vector<Case> good_files() {
    return {
        {"placeable, 192 units per inch, window as the box",
         wmf_file({.placeable_box = Box{0, 0, 400, 200}, .units_per_inch = 192, .window_extent = {{400, 200}},
                   .rectangle = {100, 40, 300, 160}, .brush = kBrush}),
         ImageFileType::Wmf, {{200, 100}, {50, 20, 150, 80}}},
        {"placeable without a window extent",
         wmf_file({.placeable_box = Box{0, 0, 200, 100}, .units_per_inch = 96, .rectangle = {50, 20, 150, 80},
                   .brush = kBrush}),
         ImageFileType::Wmf, {{200, 100}, {50, 20, 150, 80}}},
        {"placeable whose window is twice the box",
         wmf_file({.placeable_box = Box{0, 0, 200, 100}, .units_per_inch = 96, .window_extent = {{400, 200}},
                   .rectangle = {100, 40, 300, 160}, .brush = kBrush}),
         ImageFileType::Wmf, {{200, 100}, {50, 20, 150, 80}}},
        {"plain, window origin moved",
         wmf_file({.origin_x = 100, .origin_y = 50, .window_extent = {{300, 150}}, .rectangle = {150, 70, 250, 130},
                   .brush = kBrush}),
         ImageFileType::Wmf, {{300, 150}, {50, 20, 150, 80}}},
        {"EMF, frame at 96 dpi",
         emf_file({.bounds = {0, 0, 199, 99}, .frame = {0, 0, 5292, 2646}, .rectangle = {50, 20, 150, 80},
                   .brush = kBrush}),
         ImageFileType::Emf, {{200, 100}, {50, 20, 150, 80}}},
        {"EMF, bounds inside a larger frame",
         emf_file({.bounds = {10, 5, 209, 104}, .frame = {0, 0, 5821, 2910}, .rectangle = {60, 25, 160, 85},
                   .brush = kBrush}),
         ImageFileType::Emf, {{220, 110}, {60, 25, 160, 85}}},
        {"EMF without a reference device: its bounds",
         emf_file({.bounds = {0, 0, 119, 79}, .device_cx = 0, .device_cy = 0, .millimetres_cx = 0,
                   .millimetres_cy = 0, .rectangle = {10, 10, 60, 40}, .brush = kBrush}),
         ImageFileType::Emf, {{120, 80}, {10, 10, 60, 40}}},
    };
}

class Metafiles : public testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.file(name); }
    void write(const std::string& name, const MetafileBytes& b) {
        std::ofstream f(path(name), std::ios::binary);
        f << as_string(b);
    }
    testsupport::TempFolder dir_{"metafiles_"};
};

}  // namespace

TEST_F(Metafiles, EachDrawsItsRectangleAtTheSizeItsHeaderGives) {
    for (const Case& c : good_files()) {
        Surface s;
        ImageFileInfo info;
        const IoResult r = decode(c.bytes, s, &info);
        ASSERT_TRUE(r.ok) << c.name << ": " << r.message;
        EXPECT_EQ(info.type, c.type) << c.name;
        EXPECT_EQ(info.palette_entries, 0) << c.name;
        expect_picture(s, c.expected, c.name);

        // From a file whose name says otherwise, and its size from the header alone.
        write("picture.png", c.bytes);
        Surface loaded;
        ASSERT_TRUE(load_image(path("picture.png"), loaded).ok) << c.name;
        expect_picture(loaded, c.expected, std::string(c.name) + " (file)");
        Size size;
        ASSERT_TRUE(read_image_size(path("picture.png"), size).ok) << c.name;
        EXPECT_EQ(size, c.expected.size) << c.name;
    }
}

TEST_F(Metafiles, DamagedFilesFailCleanlyWithAMessage) {
    const MetafileBytes wmf = wmf_file({.placeable_box = Box{0, 0, 200, 100}, .units_per_inch = 96,
                                        .window_extent = {{200, 100}}, .rectangle = {50, 20, 150, 80}});
    const MetafileBytes plain = wmf_file({.window_extent = {{200, 100}}, .rectangle = {50, 20, 150, 80}});
    const MetafileBytes emf = emf_file({.bounds = {0, 0, 199, 99}, .frame = {0, 0, 5292, 2646},
                                        .rectangle = {50, 20, 150, 80}});
    auto patched = [](MetafileBytes b, std::size_t at, std::initializer_list<std::uint8_t> v) {
        for (std::uint8_t x : v) b.at(at++) = x;
        return b;
    };
    constexpr std::size_t kFirstRecord = 22 + 18;  // after the placeable and plain headers
    std::vector<std::pair<std::string, MetafileBytes>> bad;
    for (std::size_t keep : {std::size_t(4), std::size_t(21), std::size_t(30), kFirstRecord + 3, wmf.size() / 2,
                             wmf.size() - 6, wmf.size() - 1})
        bad.emplace_back("WMF cut to " + std::to_string(keep), MetafileBytes(wmf.begin(), wmf.begin() + long(keep)));
    for (std::size_t keep : {std::size_t(44), std::size_t(87), std::size_t(100), emf.size() - 20, emf.size() - 1})
        bad.emplace_back("EMF cut to " + std::to_string(keep), MetafileBytes(emf.begin(), emf.begin() + long(keep)));
    bad.emplace_back("WMF record of no words", patched(wmf, kFirstRecord, {0, 0, 0, 0}));
    bad.emplace_back("WMF record past the end", patched(wmf, kFirstRecord, {0xFF, 0xFF, 0, 0}));
    bad.emplace_back("WMF record of 2^32 words", patched(wmf, kFirstRecord, {0xFF, 0xFF, 0xFF, 0xFF}));
    bad.emplace_back("WMF empty bounding box", patched(wmf, 10, {0, 0}));
    bad.emplace_back("WMF no units per inch", patched(wmf, 14, {0, 0}));
    bad.emplace_back("WMF box of 65535 inches", patched(patched(wmf, 6, {0, 0x80}), 10, {0xFF, 0x7F, 0xFF, 0x7F}));
    bad.emplace_back("WMF with a header of 8 words", patched(wmf, 24, {8}));
    bad.emplace_back("plain WMF without a window extent",
                     wmf_file({.window_extent = std::nullopt, .rectangle = {50, 20, 150, 80}}));
    bad.emplace_back("plain WMF of 30000 x 30000", patched(plain, 18 + 10 + 6, {0x30, 0x75, 0x30, 0x75}));
    bad.emplace_back("EMF header of 80 bytes", patched(emf, 4, {80}));
    bad.emplace_back("EMF record of 6 bytes", patched(emf, 88 + 4, {6}));
    bad.emplace_back("EMF record past the end", patched(emf, 88 + 4, {0, 0, 0, 1}));
    bad.emplace_back("EMF without its end record", patched(emf, emf.size() - 20, {13}));
    bad.emplace_back("EMF frame a kilometre wide", patched(emf, 32, {0, 0xE1, 0xF5, 0x05}));
    bad.emplace_back("EMF bounds 2^31 wide", patched(patched(emf, 8, {0, 0, 0, 0x80}), 72, {0, 0, 0, 0}));
    for (const auto& [name, data] : bad) {
        Surface out = sentinel();
        const IoResult r = decode(data, out);
        EXPECT_FALSE(r.ok) << name;
        EXPECT_FALSE(r.message.empty()) << name;
        EXPECT_EQ(out.width(), 3) << name << ": a failed decode leaves its output alone";
    }
    // Sizes that no picture may have are refused from the header alone.
    for (std::size_t i : {bad.size() - 2, bad.size() - 1}) {
        write("huge", bad[i].second);
        Size size;
        EXPECT_FALSE(read_image_size(path("huge"), size).ok) << bad[i].first;
    }
}

TEST_F(Metafiles, FlippedBytesNeverCrashEitherRenderer) {
    const std::vector<MetafileBytes> seeds = {
        wmf_file({.placeable_box = Box{0, 0, 64, 48}, .units_per_inch = 96, .window_extent = {{64, 48}},
                  .rectangle = {8, 8, 40, 30}}),
        wmf_file({.window_extent = {{64, 48}}, .rectangle = {8, 8, 40, 30}}),
        emf_file({.bounds = {0, 0, 63, 47}, .frame = {0, 0, 1693, 1270}, .rectangle = {8, 8, 40, 30}}),
    };
    std::uint32_t v = 4242;
    int decoded = 0;
    for (const MetafileBytes& seed : seeds) {
        for (int round = 0; round < 120; ++round) {
            MetafileBytes data = seed;
            for (int k = 0; k < 3; ++k) {
                v = v * 1103515245u + 12345u;
                // Past the magic, so that the metafile readers are the ones reached.
                const std::size_t at = 4 + (v >> 8) % (data.size() - 4);
                data[at] = std::uint8_t(data[at] ^ (1u << ((v >> 4) & 7)));
            }
            Surface out;
            const IoResult r = decode(data, out);
            if (r.ok) {
                ++decoded;
                EXPECT_FALSE(out.is_null());
            } else {
                EXPECT_FALSE(r.message.empty());
            }
        }
    }
    SUCCEED() << decoded << " of the damaged files still decoded";
}
