// PNG save/load: round trips, conversions on load, malformed files, and
// saves that must fail without leaving anything behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plat/codecs/codecs.h"
#include "support/temp_folder.h"

using namespace plat;
namespace fs = std::filesystem;

namespace {

// A fresh empty folder per test.
class PngTest : public testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.file(name); }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_.path())) names.push_back(e.path().filename());
        return names;
    }
    testsupport::TempFolder dir_{"png_"};
};

std::string read_all(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void write_all(const std::string& p, const std::string& data) {
    std::ofstream f(p, std::ios::binary);
    f << data;
}

Surface noise(int w, int h) {
    Surface s(w, h);
    std::uint32_t v = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            v = v * 1103515245u + 12345u;
            s.set_pixel(x, y, (v >> 8) & 0xFFFFFF);
        }
    return s;
}

// A surface marked so a test can tell whether a failed load touched it.
Surface sentinel() {
    Surface s(3, 2);
    s.fill(0x123456);
    return s;
}

void expect_sentinel(const Surface& s) {
    EXPECT_EQ(s.width(), 3);
    EXPECT_EQ(s.height(), 2);
    EXPECT_EQ(s.pixel(2, 1), 0x123456u);
}

// ---- a minimal PNG writer for inputs libpng-based saving never produces ----

std::uint32_t crc32(const std::string& data) {
    std::uint32_t c = 0xFFFFFFFF;
    for (unsigned char b : data) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

std::string be32(std::uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

std::string chunk(const std::string& type, const std::string& data) {
    return be32(std::uint32_t(data.size())) + type + data + be32(crc32(type + data));
}

// zlib stream of stored (uncompressed) blocks.
std::string zlib_stored(const std::string& raw) {
    std::string out = "\x78\x01";
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(raw.size() - pos, 65535);
        const bool last = pos + n == raw.size();
        out += char(last ? 1 : 0);
        out += char(n & 0xFF);
        out += char(n >> 8);
        out += char(~n & 0xFF);
        out += char((~n >> 8) & 0xFF);
        out += raw.substr(pos, n);
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return out + be32((b << 16) | a);
}

const std::string kSignature = "\x89PNG\r\n\x1a\n";

std::string ihdr(std::uint32_t w, std::uint32_t h, int depth, int color_type, int interlace = 0) {
    return chunk(
        "IHDR", be32(w) + be32(h) + char(depth) + char(color_type) + '\0' + '\0' + char(interlace));
}

// `raw` holds the filtered scanlines (each starting with its filter byte).
std::string make_png(std::uint32_t w, std::uint32_t h, int depth, int color_type,
                     const std::string& raw, const std::string& before_idat = "",
                     int interlace = 0) {
    return kSignature + ihdr(w, h, depth, color_type, interlace) + before_idat +
           chunk("IDAT", zlib_stored(raw)) + chunk("IEND", "");
}

// The whole pHYs chunk of a PNG file, or "" when it has none.
std::string phys_chunk(const std::string& png) {
    const auto at = png.find("pHYs");
    if (at == std::string::npos || at < 4) return "";
    return png.substr(at - 4, 4 + 4 + 9 + 4);
}

// 72 dpi, as the other formats are written: 2834 pixels per metre, unit metre.
const std::string k72Dpi = chunk("pHYs", be32(2834) + be32(2834) + '\1');

std::string bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s += char(b);
    return s;
}

}  // namespace

// ---- round trips ----

TEST_F(PngTest, Rgb32RoundTrip) {
    Surface s = noise(7, 5);
    s.set_pixel(0, 0, 0xFF000000);  // the unused top byte is not stored
    s.set_pixel(1, 0, 0xFFFFFF);
    const std::string p = path("rgb.png");
    const IoResult r = save_png(s, p);
    ASSERT_TRUE(r.ok) << r.message;
    const std::string data = read_all(p);
    ASSERT_GT(data.size(), 33u);
    EXPECT_EQ(data[24], 8) << "bit depth";
    EXPECT_EQ(data[25], 2) << "colour type RGB, no alpha";
    EXPECT_EQ(phys_chunk(data), k72Dpi);

    Surface back;
    const IoResult lr = load_png(p, back);
    ASSERT_TRUE(lr.ok) << lr.message;
    ASSERT_EQ(back.size(), s.size());
    EXPECT_EQ(back.format(), PixelFormat::Rgb32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(back.pixel(x, y), s.pixel(x, y) & 0xFFFFFF) << x << "," << y;
    EXPECT_EQ(files(), std::vector<std::string>{"rgb.png"}) << "no temporary left behind";
}

TEST_F(PngTest, FastEffortGivesTheSamePixels) {
    // Runs, steps and noise, so that both filters and the run-length deflate have work.
    Surface s = noise(203, 61);
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 120; ++x) s.set_pixel(x, y, x < 60 ? 0x102030u * std::uint32_t(y % 4) : 0x00FF00u + std::uint32_t(x));
    std::vector<std::uint8_t> small, fast;
    ASSERT_TRUE(encode_png(s, small, PngEffort::Small).ok);
    ASSERT_TRUE(encode_png(s, fast, PngEffort::Fast).ok);
    EXPECT_NE(small, fast) << "the effort changes how the data is compressed";
    Surface back;
    ASSERT_TRUE(decode_png(fast.data(), fast.size(), back).ok);
    ASSERT_EQ(back.size(), s.size());
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) ASSERT_EQ(back.pixel(x, y), s.pixel(x, y) & 0xFFFFFF) << x << "," << y;
}

TEST_F(PngTest, Indexed8RoundTripKeepsPalette) {
    Surface s(5, 3, PixelFormat::Indexed8);  // odd width: rows are padded in memory
    for (int i = 0; i < 256; ++i) s.palette()[std::size_t(i)] = rgb(255 - i, i * 7, i ^ 0x5A);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) s.set_pixel(x, y, Color(y * 80 + x * 17));
    const std::string p = path("pal.png");
    const IoResult r = save_png(s, p);
    ASSERT_TRUE(r.ok) << r.message;

    const std::string data = read_all(p);
    ASSERT_GT(data.size(), 41u);
    EXPECT_EQ(data[24], 8) << "bit depth";
    EXPECT_EQ(data[25], 3) << "colour type palette";
    EXPECT_EQ(phys_chunk(data), k72Dpi);
    const auto plte = data.find("PLTE");
    ASSERT_NE(plte, std::string::npos);
    EXPECT_EQ(data.substr(plte - 4, 4), be32(768)) << "256 entries";
    const std::string entries = data.substr(plte + 4, 768);
    for (int i = 0; i < 256; ++i) {
        const Color c = s.palette()[std::size_t(i)];
        ASSERT_EQ(entries.substr(std::size_t(i) * 3, 3),
                  bytes({red_of(c), green_of(c), blue_of(c)}))
            << "entry " << i;
    }

    Surface back;
    const IoResult lr = load_png(p, back);
    ASSERT_TRUE(lr.ok) << lr.message;
    ASSERT_EQ(back.size(), s.size());
    EXPECT_EQ(back.format(), PixelFormat::Rgb32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) ASSERT_EQ(back.pixel(x, y), s.pixel(x, y)) << x << "," << y;
}

TEST_F(PngTest, SaveReplacesAnExistingFileWithUsualPermissions) {
    const std::string p = path("out.png");
    write_all(p, "old contents");
    const mode_t old_mask = ::umask(022);
    const IoResult r = save_png(noise(4, 4), p);
    ::umask(old_mask);
    ASSERT_TRUE(r.ok) << r.message;
    Surface back;
    ASSERT_TRUE(load_png(p, back).ok);
    EXPECT_EQ(back.pixel(3, 3), noise(4, 4).pixel(3, 3));
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(files(), std::vector<std::string>{"out.png"});
}

// ---- conversions on load ----

TEST_F(PngTest, LoadExpandsGreyPaletteAndDeepFormatsAndDropsAlpha) {
    struct Case {
        const char* name;
        std::string png;
        std::vector<Color> want;  // row-major
    };
    const std::string plte = chunk("PLTE", bytes({10, 20, 30, 200, 100, 50}));
    const std::string trns = chunk("tRNS", bytes({0, 128}));
    const Case cases[] = {
        {"rgb8", make_png(2, 1, 8, 2, bytes({0, 1, 2, 3, 250, 251, 252})), {0x010203, 0xFAFBFC}},
        {"grey1", make_png(3, 1, 1, 0, bytes({0, 0xA0})), {0xFFFFFF, 0x000000, 0xFFFFFF}},
        {"grey8", make_png(2, 1, 8, 0, bytes({0, 0x00, 0x80})), {0x000000, 0x808080}},
        {"grey16", make_png(1, 1, 16, 0, bytes({0, 0xAB, 0xAB})), {0xABABAB}},
        {"grey-alpha", make_png(1, 1, 8, 4, bytes({0, 0x40, 0x00})), {0x404040}},
        {"rgba8", make_png(1, 1, 8, 6, bytes({0, 1, 2, 3, 0})), {0x010203}},
        {"rgb16",
         make_png(1, 1, 16, 2, bytes({0, 0x11, 0x11, 0x22, 0x22, 0x33, 0x33})),
         {0x112233}},
        {"palette4-trns",
         make_png(2, 1, 4, 3, bytes({0, 0x10}), plte + trns),
         {0xC86432, 0x0A141E}},
        // Adam7 on 2x2: pass 1 holds (0,0), pass 6 (1,0), pass 7 the second row.
        {"interlaced",
         make_png(2, 2, 8, 2, bytes({0, 1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 4, 4, 4}), "", 1),
         {0x010101, 0x020202, 0x030303, 0x040404}},
    };
    for (const Case& c : cases) {
        const std::string p = path(std::string(c.name) + ".png");
        write_all(p, c.png);
        Surface s;
        const IoResult r = load_png(p, s);
        ASSERT_TRUE(r.ok) << c.name << ": " << r.message;
        ASSERT_EQ(s.width() * s.height(), int(c.want.size())) << c.name;
        for (int i = 0; i < int(c.want.size()); ++i)
            EXPECT_EQ(s.pixel(i % s.width(), i / s.width()), c.want[std::size_t(i)])
                << c.name << " pixel " << i;
    }
}

// ---- malformed input ----

TEST_F(PngTest, TruncatedFileFailsAndLeavesOutputUnchanged) {
    const std::string p = path("cut.png");
    ASSERT_TRUE(save_png(noise(64, 64), p).ok);
    const std::string full = read_all(p);
    for (std::size_t keep :
         {std::size_t(8), std::size_t(20), std::size_t(40), full.size() / 2, full.size() - 13}) {
        write_all(p, full.substr(0, keep));
        Surface out = sentinel();
        const IoResult r = load_png(p, out);
        EXPECT_FALSE(r.ok) << "kept " << keep;
        EXPECT_FALSE(r.message.empty());
        expect_sentinel(out);
    }
}

TEST_F(PngTest, NonPngEmptyMissingAndDirectoryFail) {
    write_all(path("text.png"), "This is not an image, just some text.\n");
    write_all(path("empty.png"), "");
    write_all(path("short.png"), "\x89PN");
    for (const std::string& p : {path("text.png"), path("empty.png"), path("short.png")}) {
        Surface out = sentinel();
        const IoResult r = load_png(p, out);
        EXPECT_FALSE(r.ok) << p;
        EXPECT_EQ(r.message, "not a PNG file") << p;
        expect_sentinel(out);
    }
    const std::pair<std::string, const char*> unreadable[] = {
        {path("missing.png"), "no such file"}, {dir_.str(), "a directory, not a file"}};
    for (const auto& [p, message] : unreadable) {
        Surface out = sentinel();
        const IoResult r = load_png(p, out);
        EXPECT_FALSE(r.ok) << p;
        EXPECT_EQ(r.message, message) << p;
        expect_sentinel(out);
    }
}

TEST_F(PngTest, CorruptDataFails) {
    const std::string good = make_png(2, 1, 8, 2, bytes({0, 1, 2, 3, 4, 5, 6}));
    std::vector<std::pair<const char*, std::string>> bad;
    std::string flipped = good;
    flipped[good.find("IDAT") + 8] ^= 0x55;  // breaks the CRC
    bad.emplace_back("idat-crc", flipped);
    bad.emplace_back("bad-filter", make_png(2, 1, 8, 2, bytes({9, 1, 2, 3, 4, 5, 6})));
    bad.emplace_back("short-data", make_png(2, 2, 8, 2, bytes({0, 1, 2, 3, 4, 5, 6})));
    bad.emplace_back("zero-width", make_png(0, 1, 8, 2, bytes({0})));
    bad.emplace_back("bad-depth", make_png(1, 1, 3, 2, bytes({0, 1, 2, 3})));
    bad.emplace_back("no-plte", make_png(1, 1, 8, 3, bytes({0, 0})));
    bad.emplace_back("no-idat", kSignature + ihdr(1, 1, 8, 2) + chunk("IEND", ""));
    for (const auto& [name, data] : bad) {
        write_all(path("bad.png"), data);
        Surface out = sentinel();
        const IoResult r = load_png(path("bad.png"), out);
        EXPECT_FALSE(r.ok) << name;
        EXPECT_FALSE(r.message.empty()) << name;
        expect_sentinel(out);
    }
}

TEST_F(PngTest, AbsurdDimensionsAreRejectedBeforeDecoding) {
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {
        {40000, 1}, {1, 40000}, {20000, 20000}, {0x7FFFFFFF, 0x7FFFFFFF}};
    for (auto [w, h] : sizes) {
        write_all(path("big.png"), make_png(w, h, 8, 2, bytes({0, 0, 0, 0})));
        Surface out = sentinel();
        const IoResult r = load_png(path("big.png"), out);
        EXPECT_FALSE(r.ok) << w << "x" << h;
        EXPECT_EQ(r.message, "image too large") << w << "x" << h;
        expect_sentinel(out);
    }
}

// ---- failed saves ----

TEST_F(PngTest, SaveIntoMissingFolderFailsWithTheReasonAndLeavesNothing) {
    const Surface s = noise(4, 4);
    write_all(path("plain-file"), "x");
    const std::pair<std::string, std::string> cases[] = {
        {path("no-such-dir/out.png"), "cannot open file for writing: No such file or directory"},
        {path("plain-file/out.png"), "cannot open file for writing: Not a directory"},
    };
    for (const auto& [p, message] : cases) {
        const IoResult r = save_png(s, p);
        EXPECT_FALSE(r.ok) << p;
        EXPECT_EQ(r.message, message) << p;
    }
    EXPECT_EQ(files(), std::vector<std::string>{"plain-file"});
}

// A name that stands for a device is written into, not replaced by a file:
// a full device says so, and the name still leads to the device.
TEST_F(PngTest, SaveOntoADeviceWritesIntoItAndSaysWhyItFailed) {
    const std::string full = path("full.png");
    fs::create_symlink("/dev/full", full);
    const IoResult r = save_png(noise(4, 4), full);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "cannot write file: No space left on device");
    EXPECT_TRUE(fs::is_symlink(full));
    EXPECT_EQ(files(), std::vector<std::string>{"full.png"});
    const std::string null = path("null.png");
    fs::create_symlink("/dev/null", null);
    EXPECT_TRUE(save_png(noise(4, 4), null).ok);
    EXPECT_TRUE(fs::is_symlink(null));
}

TEST_F(PngTest, SaveIntoReadOnlyFolderFailsAndLeavesNothing) {
    const Surface s = noise(4, 4);
    const std::string ro = path("read-only");
    fs::create_directory(ro);
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(ro.c_str(), W_OK) == 0)
        GTEST_SKIP() << "running with permission to write anywhere";
    const IoResult r = save_png(s, ro + "/out.png");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "cannot open file for writing: Permission denied");
    EXPECT_TRUE(fs::is_empty(ro));
}

TEST_F(PngTest, SaveOfNullSurfaceFailsAndKeepsExistingFile) {
    write_all(path("keep.png"), "previous");
    const IoResult r = save_png(Surface(), path("keep.png"));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    EXPECT_EQ(read_all(path("keep.png")), "previous");
    EXPECT_EQ(files(), std::vector<std::string>{"keep.png"});
}

TEST_F(PngTest, WriteErrorMidwayKeepsExistingFileAndLeavesNoTemporary) {
    const std::string p = path("keep.png");
    write_all(p, "previous");
    // A file size limit makes writes fail part way through the image; done in
    // a child so the limit does not outlive the test.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{};
        lim.rlim_cur = lim.rlim_max = 1000;
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) ::_exit(3);
        const IoResult r = save_png(noise(64, 64), p);
        ::_exit(r.ok ? 1 : r.message == "cannot write file: File too large" ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: save succeeded, 2: unexpected message";
    EXPECT_EQ(read_all(p), "previous");
    EXPECT_EQ(files(), std::vector<std::string>{"keep.png"});
}
