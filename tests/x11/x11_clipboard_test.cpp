// The clipboard bridged to the CLIPBOARD selection, checked with xclip as the
// other program.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "x11_backend.h"
#include "plat/core/clipboard.h"
#include "plat/codecs/codecs.h"
#include "plat/base/codepage.h"
#include "plat/codecs/dib.h"
#include "support/temp_folder.h"
#include "x11/x11_fixture.h"

using namespace plat;

namespace {

class X11Clipboard : public xtest::X11Fixture {
protected:
    testsupport::RunResult xclip(std::vector<std::string> args) {
        args.insert(args.begin(), {"-selection", "clipboard"});
        return xtest::tool(display(), "xclip", args);
    }

    // Puts a file's bytes on the clipboard from another program (xclip
    // keeps serving them in the background until the server goes).
    void offer_from_xclip(const std::string& bytes, const std::string& type = {}) {
        std::string path = dir_.file("offer" + std::to_string(offers_++));
        std::ofstream(path, std::ios::binary) << bytes;
        std::vector<std::string> args{"-i"};
        if (!type.empty()) args.insert(args.end(), {"-t", type});
        args.push_back(path);
        ASSERT_EQ(xclip(args).exit_code, 0);
    }

    // What another program reads from the clipboard as `target` ("" for
    // text) once there is anything; "" when nothing came within `timeout_ms`.
    std::string read_as_other(const std::string& target, int timeout_ms = 3000) {
        std::vector<std::string> args{"-o"};
        if (!target.empty()) args.insert(args.end(), {"-t", target});
        std::string got;
        xtest::wait_for(
            [&] {
                testsupport::RunResult r = xclip(args);
                got = r.exit_code == 0 ? r.out : std::string();
                return !got.empty();
            },
            timeout_ms);
        return got;
    }

    testsupport::TempFolder dir_{"x11_clip_"};
    int offers_ = 0;
};

Surface sample(int w, int h, unsigned seed) {
    Surface s(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.row32(y)[x] = rng() & 0xFFFFFF;
    return s;
}

bool same_pixels(const Surface& a, const Surface& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}

std::string png_bytes(const Surface& s) {
    std::vector<std::uint8_t> png;
    EXPECT_TRUE(encode_png(s, png));
    return std::string(png.begin(), png.end());
}

}  // namespace

TEST_F(X11Clipboard, TextAnotherProgramSetIsWhatTheProgramReads) {
    const std::string text = "h\xC3\xA9llo \xE6\x97\xA5\xE6\x9C\xAC\nline two";
    offer_from_xclip(text);
    std::u16string want = utf8_to_utf16(text);
    EXPECT_TRUE(xtest::wait_for([&] { return clipboard::text() == want; }, 5000))
        << "read: " << utf16_to_utf8(clipboard::text().value_or(u"(none)"));
    EXPECT_FALSE(clipboard::has_dib());
}

TEST_F(X11Clipboard, TextTheProgramSetIsWhatAnotherProgramReads) {
    clipboard::set_text(u"Gr\u00FC\u00DFe \u65E5\u672C");
    EXPECT_EQ(read_as_other(""), "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC");
    testsupport::RunResult targets = xclip({"-o", "-t", "TARGETS"});
    EXPECT_NE(targets.out.find("UTF8_STRING"), std::string::npos) << targets.out;
    EXPECT_EQ(targets.out.find("image/png"), std::string::npos) << targets.out;
    // The program's own contents are read back without asking the desktop.
    EXPECT_EQ(clipboard::text(), std::u16string(u"Gr\u00FC\u00DFe \u65E5\u672C"));
}

TEST_F(X11Clipboard, ImagesTheProgramSetAreReadAsPng) {
    Surface s = sample(37, 21, 1);
    clipboard::set_dib(dib::from_surface(s));
    std::string png = read_as_other("image/png");
    ASSERT_FALSE(png.empty());
    Surface got;
    ASSERT_TRUE(decode_png(reinterpret_cast<const std::uint8_t*>(png.data()), png.size(), got));
    EXPECT_TRUE(same_pixels(s, got));
    testsupport::RunResult targets = xclip({"-o", "-t", "TARGETS"});
    EXPECT_NE(targets.out.find("image/png"), std::string::npos) << targets.out;

    // An 8-bit palette DIB: the colours survive.
    Surface pal(9, 4, PixelFormat::Indexed8);
    for (int i = 0; i < 256; ++i) pal.palette()[std::size_t(i)] = rgb(i, i / 2, 255 - i);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) pal.set_pixel(x, y, Color(x * 28 + y));
    clipboard::set_dib(dib::from_surface(pal));
    testsupport::RunResult out = xclip({"-o", "-t", "image/png"});
    ASSERT_EQ(out.exit_code, 0);
    ASSERT_TRUE(decode_png(reinterpret_cast<const std::uint8_t*>(out.out.data()), out.out.size(), got));
    EXPECT_TRUE(same_pixels(pal, got));
}

TEST_F(X11Clipboard, PngAnotherProgramSetIsReadAsADib) {
    Surface s = sample(23, 17, 2);
    offer_from_xclip(png_bytes(s), "image/png");
    std::optional<std::vector<std::uint8_t>> held;
    ASSERT_TRUE(xtest::wait_for(
        [&] {
            held = clipboard::dib();
            return held.has_value();
        },
        5000));
    Surface got;
    ASSERT_TRUE(dib::to_surface(held->data(), held->size(), got));
    EXPECT_TRUE(same_pixels(s, got));
    // The same packed DIB the library writes itself: 24-bit, bottom-up.
    EXPECT_EQ((*held)[14], 24);
    EXPECT_EQ(*held, dib::from_surface(s));
    EXPECT_FALSE(clipboard::has_text());
}

TEST_F(X11Clipboard, BmpGoesBothWays) {
    // Ours, asked for as image/bmp: a BMP file of the same pixels.
    Surface s = sample(13, 9, 5);
    clipboard::set_dib(dib::from_surface(s));
    std::string bmp_file = read_as_other("image/bmp");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(bmp_file.data());
    EXPECT_EQ(sniff_image_type(bytes, bmp_file.size()), ImageFileType::Bmp);
    Surface got;
    ASSERT_TRUE(decode_image(bytes, bmp_file.size(), got));
    EXPECT_TRUE(same_pixels(s, got));

    // Theirs, offered only as image/bmp: read as the packed DIB of its pixels,
    // a palette picture as an 8-bit one with its palette.
    Surface pal(6, 5, PixelFormat::Indexed8);
    for (int i = 0; i < 256; ++i) pal.palette()[std::size_t(i)] = rgb(255 - i, i / 3, i);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) pal.set_pixel(x, y, Color(x * 40 + y));
    for (const Surface& theirs : {sample(11, 7, 6), pal}) {
        std::vector<std::uint8_t> bmp;
        ASSERT_TRUE(encode_image(theirs, ImageFormat::Bmp, kDefaultJpegQuality, bmp));
        offer_from_xclip(std::string(bmp.begin(), bmp.end()), "image/bmp");
        std::vector<std::uint8_t> want = dib::from_surface(theirs);
        std::optional<std::vector<std::uint8_t>> held;
        EXPECT_TRUE(xtest::wait_for(
            [&] {
                held = clipboard::dib();
                return held == want;
            },
            5000))
            << (held ? held->size() : 0) << " bytes read, " << want.size() << " wanted";
    }
}

TEST_F(X11Clipboard, LargeImagesGoInPiecesBothWays) {
    // Noise does not compress: well over a megabyte of PNG, so both xclip
    // and the backend use INCR.
    detail::X11Stats before = detail::x11_stats();
    Surface big = sample(700, 700, 3);
    clipboard::set_dib(dib::from_surface(big));
    std::string png = read_as_other("image/png", 5000);
    ASSERT_GT(png.size(), 1u << 20);
    Surface got;
    ASSERT_TRUE(decode_png(reinterpret_cast<const std::uint8_t*>(png.data()), png.size(), got));
    EXPECT_TRUE(same_pixels(big, got));
    EXPECT_GT(detail::x11_stats().incr_sent, before.incr_sent);

    Surface other = sample(690, 700, 4);  // told apart from ours by its size
    offer_from_xclip(png_bytes(other), "image/png");
    std::optional<std::vector<std::uint8_t>> held;
    ASSERT_TRUE(xtest::wait_for(
        [&] {
            held = clipboard::dib();
            return held.has_value() && held->size() == dib::packed_size(other);
        },
        8000));
    ASSERT_TRUE(dib::to_surface(held->data(), held->size(), got));
    EXPECT_TRUE(same_pixels(other, got));
    EXPECT_GT(detail::x11_stats().incr_received, before.incr_received);
}

TEST_F(X11Clipboard, TheLastToSetItWins) {
    clipboard::set_text(u"ours");
    ASSERT_TRUE(xtest::wait_for([&] { return xclip({"-o"}).out == "ours"; }, 3000));
    offer_from_xclip("theirs");
    EXPECT_TRUE(xtest::wait_for([&] { return clipboard::text() == std::u16string(u"theirs"); }, 5000));
    clipboard::set_text(u"ours again");
    EXPECT_TRUE(xtest::wait_for([&] { return xclip({"-o"}).out == "ours again"; }, 3000));
    EXPECT_EQ(clipboard::text(), std::u16string(u"ours again"));
    clipboard::clear();
    EXPECT_TRUE(xtest::wait_for([&] { return xclip({"-o"}).out.empty(); }, 3000));
    EXPECT_FALSE(clipboard::has_text());
}
