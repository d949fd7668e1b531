// Image files in the library: loading into the current image (placement,
// clipping, palettes, 8-bit targets), saving (regions, depths, formats, the
// extension rule, names), request 9003, files dropped on an image window, and
// the main window's size probe for every format.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "drawing_test_support.h"
#include "image/image_files.h"
#include "image/image_table.h"
#include "image/image_window_internals.h"
#include "mavlib.h"
#include "plat/base/clock.h"
#include "plat/codecs/codecs.h"
#include "plat/driver/driver.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "shell/main_window.h"
#include "support/library_classes.h"
#include "support/temp_folder.h"
#include "support/ui_thread.h"

using namespace mav;
using drawtest::ScratchImage;
namespace fs = std::filesystem;

namespace {

class ImageFiles : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.file(name); }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_.path())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A picture file with a distinct colour per pixel: (x, y) -> rgb(x, y, 7).
    std::string write_picture(const std::string& name, int w, int h, plat::ImageFormat f = plat::ImageFormat::Png) {
        plat::Surface s(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) s.set_pixel(x, y, plat::rgb(x, y, 7));
        EXPECT_TRUE(plat::save_image(s, path(name), f).ok);
        return path(name);
    }
    // An 8-bit picture file: index (x + 2y) % 8 with eight distinct colours.
    std::string write_indexed(const std::string& name, int w, int h, plat::ImageFormat f) {
        plat::Surface s(w, h, plat::PixelFormat::Indexed8);
        for (int i = 0; i < 256; ++i) s.palette()[std::size_t(i)] = plat::rgb(i, 255 - i, (i * 31) & 0xFF);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) s.set_pixel(x, y, plat::Color((x + 2 * y) % 8));
        EXPECT_TRUE(plat::save_image(s, path(name), f).ok);
        return path(name);
    }
    testsupport::TempFolder dir_{"files_"};
};

plat::Surface load(const std::string& p) {
    plat::Surface s;
    plat::IoResult r = plat::load_image(p, s);
    EXPECT_TRUE(r.ok) << p << ": " << r.message;
    return s;
}

const char* const kExt[] = {".bmp", ".jpg", ".gif", ".png", ".tif"};

}  // namespace

// ---- loading ----

TEST_F(ImageFiles, LoadDrawsAtItsOwnSizeClippedAndShifted) {
    const std::string big = write_picture("big.png", 30, 20);
    ScratchImage img(10, 8);
    img.fill(0xABCDEF);
    ASSERT_EQ(MAV_LoadImage(big.c_str(), 0, 0), 0);
    // Only the top-left part shows.
    EXPECT_EQ(img.at(0, 0), plat::rgb(0, 0, 7));
    EXPECT_EQ(img.at(9, 7), plat::rgb(9, 7, 7));

    img.fill(0xABCDEF);
    ASSERT_EQ(MAV_LoadImage(big.c_str(), -10, -10), 0);
    EXPECT_EQ(img.at(0, 0), plat::rgb(10, 10, 7));
    EXPECT_EQ(img.at(9, 7), plat::rgb(19, 17, 7));

    const std::string small = write_picture("small.bmp", 4, 3, plat::ImageFormat::Bmp);
    img.fill(0xABCDEF);
    ASSERT_EQ(MAV_LoadImage(small.c_str(), 8, 6), 0);
    EXPECT_EQ(img.at(7, 5), 0xABCDEFu) << "outside the picture: untouched";
    EXPECT_EQ(img.at(8, 6), plat::rgb(0, 0, 7));
    EXPECT_EQ(img.at(9, 7), plat::rgb(1, 1, 7));
    // Entirely outside: nothing drawn, still a success.
    EXPECT_EQ(MAV_LoadImage(small.c_str(), 10, 0), 0);
    EXPECT_EQ(MAV_LoadImage(small.c_str(), -4, 0), 0);
    EXPECT_EQ(img.at(0, 0), 0xABCDEFu);
}

TEST_F(ImageFiles, LoadFailuresAndTheirCodes) {
    const std::string pic = write_picture("p.png", 2, 2);
    {
        ScratchImage img(4, 4);
        img.fill(0x010203);
        EXPECT_EQ(MAV_LoadImage(path("missing.png").c_str(), 0, 0), 1);
        std::ofstream(path("junk.png")) << "not a picture";
        EXPECT_EQ(MAV_LoadImage(path("junk.png").c_str(), 0, 0), 1);
        EXPECT_EQ(MAV_LoadImage(nullptr, 0, 0), 1);
        EXPECT_EQ(img.at(0, 0), 0x010203u) << "a failed load leaves the image alone";
    }
    // No current image: the scratch image is gone and its slot is current.
    current_image() = ScratchImage::kSlot;
    EXPECT_EQ(MAV_LoadImage(pic.c_str(), 0, 0), 2);
    EXPECT_EQ(MAV_LoadImage(path("missing.png").c_str(), 0, 0), 2);
}

TEST_F(ImageFiles, EightBitImageTakesTheFilesPaletteAndIndices) {
    for (plat::ImageFormat f :
         {plat::ImageFormat::Gif, plat::ImageFormat::Png, plat::ImageFormat::Bmp, plat::ImageFormat::Tiff}) {
        const std::string p = write_indexed(std::string("pal") + kExt[int(f)], 5, 4, f);
        ScratchImage img(6, 6, 8);
        img.fill(200);
        ASSERT_EQ(MAV_LoadImage(p.c_str(), 1, 1), 0) << kExt[int(f)];
        EXPECT_EQ(img.at(0, 0), 200u);
        EXPECT_EQ(img.at(1, 1), 0u) << kExt[int(f)];
        EXPECT_EQ(img.at(2, 1), 1u) << kExt[int(f)];
        EXPECT_EQ(img.at(5, 4), std::uint32_t((4 + 2 * 3) % 8)) << kExt[int(f)];
        MAV_RGBQUAD pal[256];
        ASSERT_EQ(MAV_GetPalette(pal), 0);
        EXPECT_EQ(pal[3].rgbRed, 3);
        EXPECT_EQ(pal[3].rgbGreen, 252);
        EXPECT_EQ(pal[3].rgbBlue, 93);
        EXPECT_EQ(pal[255].rgbRed, 255);
        EXPECT_EQ(pal[255].rgbGreen, 0);
    }
}

TEST_F(ImageFiles, FewEntriesReplaceOnlyThoseEntries) {
    // A GIF of three colours has a four-entry table: entries 4.. keep the grey ramp.
    plat::Surface s(3, 1);
    s.set_pixel(0, 0, 0xFF0000);
    s.set_pixel(1, 0, 0x00FF00);
    s.set_pixel(2, 0, 0x0000FF);
    ASSERT_TRUE(plat::save_image(s, path("three.gif"), plat::ImageFormat::Gif).ok);
    ScratchImage img(3, 1, 8);
    ASSERT_EQ(MAV_LoadImage(path("three.gif").c_str(), 0, 0), 0);
    MAV_RGBQUAD pal[256];
    ASSERT_EQ(MAV_GetPalette(pal), 0);
    EXPECT_EQ(img.surface().pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(img.surface().pixel(2, 0), 0x0000FFu);
    EXPECT_EQ(pal[4].rgbRed, 4);
    EXPECT_EQ(pal[200].rgbGreen, 200);
}

TEST_F(ImageFiles, TrueColourIntoEightBitTakesTheNearestPaletteEntry) {
    plat::Surface s(3, 1);
    s.set_pixel(0, 0, plat::rgb(100, 100, 100));
    s.set_pixel(1, 0, plat::rgb(10, 20, 30));   // nearest grey: 20
    s.set_pixel(2, 0, plat::rgb(255, 0, 0));    // nearest grey: 85
    ASSERT_TRUE(plat::save_image(s, path("rgb.png"), plat::ImageFormat::Png).ok);
    ScratchImage img(3, 1, 8);  // grey ramp
    ASSERT_EQ(MAV_LoadImage(path("rgb.png").c_str(), 0, 0), 0);
    EXPECT_EQ(img.at(0, 0), 100u);
    EXPECT_EQ(img.at(1, 0), 20u);
    EXPECT_EQ(img.at(2, 0), 85u);
    MAV_RGBQUAD pal[256];
    ASSERT_EQ(MAV_GetPalette(pal), 0);
    EXPECT_EQ(pal[100].rgbRed, 100) << "the palette stays";
}

TEST_F(ImageFiles, PaletteFileIntoThirtyTwoBitImageGivesColours) {
    const std::string p = write_indexed("pal.gif", 4, 2, plat::ImageFormat::Gif);
    ScratchImage img(4, 2);
    ASSERT_EQ(MAV_LoadImage(p.c_str(), 0, 0), 0);
    EXPECT_EQ(img.at(3, 1), plat::rgb(5, 250, 155));
}

TEST_F(ImageFiles, WindowsStyleAndShiftJisNames) {
    const std::string root = path("drives");
    fs::create_directories(fs::path(root) / "c" / "bmp");
    const char* old = std::getenv("PLAT_DRIVE_ROOT");
    const std::string saved = old ? old : "";
    setenv("PLAT_DRIVE_ROOT", root.c_str(), 1);
    {
        ScratchImage img(3, 2);
        img.fill(0x445566);
        EXPECT_EQ(MAV_SaveImage(2, 3, 3, "c:\\bmp\\file_00001"), 0);
        EXPECT_TRUE(fs::exists(fs::path(root) / "c" / "bmp" / "file_00001.png"));
        img.fill(0);
        EXPECT_EQ(MAV_LoadImage("c:\\bmp\\file_00001.png", 0, 0), 0);
        EXPECT_EQ(img.at(2, 1), 0x445566u);

        // "画像" in Shift-JIS becomes a UTF-8 file name.
        const std::string sjis = path("") + "\x89\xe6\x91\x9c";
        EXPECT_EQ(MAV_SaveImage(2, 3, 0, sjis.c_str()), 0);
        EXPECT_TRUE(fs::exists(path("画像.bmp")));
        img.fill(0);
        EXPECT_EQ(MAV_LoadImage((sjis + ".bmp").c_str(), 0, 0), 0);
        EXPECT_EQ(img.at(0, 0), 0x445566u);
    }
    if (old)
        setenv("PLAT_DRIVE_ROOT", saved.c_str(), 1);
    else
        unsetenv("PLAT_DRIVE_ROOT");
}

// ---- saving ----

TEST_F(ImageFiles, SaveCodes) {
    {
        ScratchImage img(4, 4);
        EXPECT_EQ(MAV_SaveImage(0, 4, 3, path("a").c_str()), 2);
        EXPECT_EQ(MAV_SaveImage(4, 0, 3, path("a").c_str()), 2);
        EXPECT_EQ(MAV_SaveImage(4, 4, 5, path("a").c_str()), 1) << "no such format";
        EXPECT_EQ(MAV_SaveImage(4, 4, -1, path("a").c_str()), 1);
        EXPECT_EQ(MAV_SaveImage(4, 4, 3, path("no-dir/a").c_str()), 1);
        EXPECT_EQ(MAV_SaveImage(4, 4, 3, nullptr), 1);
        EXPECT_TRUE(files().empty());
    }
    current_image() = ScratchImage::kSlot;
    EXPECT_EQ(MAV_SaveImage(4, 4, 3, path("a").c_str()), 3);
    EXPECT_EQ(MAV_SaveImage(0, 0, 3, path("a").c_str()), 3) << "the current image is checked first";
}

TEST_F(ImageFiles, ExtensionIsAppendedUnlessTheNameEndsInIt) {
    ScratchImage img(2, 2);
    EXPECT_EQ(MAV_SaveImage(2, 2, 3, path("out").c_str()), 0);
    EXPECT_EQ(MAV_SaveImage(2, 2, 3, path("OUT.PNG").c_str()), 0);
    EXPECT_EQ(MAV_SaveImage(2, 2, 1, path("x.jpeg").c_str()), 0);
    EXPECT_EQ(MAV_SaveImage(2, 2, 4, path("y.Tif").c_str()), 0);
    EXPECT_EQ(MAV_SaveImage(2, 2, 4, path("z.tiff").c_str()), 0);
    EXPECT_EQ(MAV_SaveImage(2, 2, 0, path("w.png").c_str()), 0);
    EXPECT_EQ(MAV_SaveImage(2, 2, 2, path("v.GIF").c_str()), 0);
    EXPECT_EQ(files(), (std::vector<std::string>{"OUT.PNG", "out.png", "v.GIF", "w.png.bmp", "x.jpeg.jpg", "y.Tif",
                                                 "z.tiff.tif"}));
    // The rule on the name alone: short names always get the extension.
    EXPECT_EQ(save_name_with_extension("ab", 0), "ab.bmp");
    EXPECT_EQ(save_name_with_extension(".bmp", 0), ".bmp");
    EXPECT_EQ(save_name_with_extension("bmp", 0), "bmp.bmp");
    EXPECT_EQ(save_name_with_extension("", 3), ".png");
    EXPECT_EQ(save_name_with_extension("c:\\bmp\\file_00001", 3), "c:\\bmp\\file_00001.png");
    EXPECT_EQ(save_name_with_extension("a.JPG", 1), "a.JPG");
}

TEST_F(ImageFiles, SavingWiderOrTallerThanTheImageWritesBlackBeyondIt) {
    ScratchImage img(3, 2);
    img.fill(0xFFFFFF);
    ASSERT_EQ(MAV_SaveImage(4, 6, 3, path("wide").c_str()), 0);
    plat::Surface s = load(path("wide.png"));
    ASSERT_EQ(s.size(), (plat::Size{6, 4}));
    EXPECT_EQ(s.pixel(2, 1), 0xFFFFFFu);
    EXPECT_EQ(s.pixel(3, 0), 0u);
    EXPECT_EQ(s.pixel(5, 1), 0u);
    EXPECT_EQ(s.pixel(0, 2), 0u);
    // A part: the top-left corner.
    img.set(0, 0, 0x123456);
    ASSERT_EQ(MAV_SaveImage(1, 1, 0, path("corner").c_str()), 0);
    s = load(path("corner.bmp"));
    ASSERT_EQ(s.size(), (plat::Size{1, 1}));
    EXPECT_EQ(s.pixel(0, 0), 0x123456u);
}

TEST_F(ImageFiles, EightBitWidthFiveBmpReadsBackIdentical) {
    ScratchImage img(5, 3, 8);
    MAV_RGBQUAD pal[256];
    for (int i = 0; i < 256; ++i) pal[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 3), 0};
    ASSERT_EQ(MAV_SetPalette(pal, 256), 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) img.set(x, y, std::uint32_t(x * 50 + y));
    ASSERT_EQ(MAV_SaveImage(3, 5, 0, path("five").c_str()), 0);
    EXPECT_EQ(fs::file_size(path("five.bmp")), 14u + 40 + 1024 + 8 * 3) << "rows padded to 8 bytes";

    ScratchImage other(5, 3, 8, ScratchImage::kSlot - 1);  // grey ramp
    ASSERT_EQ(MAV_LoadImage(path("five.bmp").c_str(), 0, 0), 0);
    EXPECT_EQ(other.bytes(), img.bytes());
    EXPECT_EQ(other.surface().palette(), img.surface().palette());
}

TEST_F(ImageFiles, EveryFormatRoundTripsThroughSaveAndLoad) {
    ScratchImage img(16, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) img.set(x, y, plat::rgb(x * 16, y * 20, 128));
    img.set(0, 0, 0xFF123456);  // the unused top byte is not saved
    for (int f = 0; f < 5; ++f) {
        const std::string base = path(std::string("rt") + std::to_string(f));
        ASSERT_EQ(MAV_SaveImage(12, 16, f, base.c_str()), 0) << f;
        ScratchImage back(16, 12, 32, ScratchImage::kSlot - 1);
        ASSERT_EQ(MAV_LoadImage((base + kExt[f]).c_str(), 0, 0), 0) << f;
        int worst = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const plat::Color a = back.at(x, y), b = img.at(x, y) & 0xFFFFFF;
                worst = std::max({worst, std::abs(plat::red_of(a) - plat::red_of(b)),
                                  std::abs(plat::green_of(a) - plat::green_of(b)),
                                  std::abs(plat::blue_of(a) - plat::blue_of(b))});
            }
        EXPECT_LE(worst, f == 1 ? 8 : 0) << kExt[f];
    }
}

TEST_F(ImageFiles, EightBitImagesRoundTripWithIndicesAndPalette) {
    ScratchImage img(7, 5, 8);
    MAV_RGBQUAD pal[256];
    for (int i = 0; i < 256; ++i) pal[i] = {std::uint8_t(i * 5), std::uint8_t(i), std::uint8_t(255 - i), 0};
    ASSERT_EQ(MAV_SetPalette(pal, 256), 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) img.set(x, y, std::uint32_t((x * 37 + y * 11) & 0xFF));
    for (int f : {0, 2, 3, 4}) {
        const std::string base = path(std::string("ix") + std::to_string(f));
        ASSERT_EQ(MAV_SaveImage(5, 7, f, base.c_str()), 0) << f;
        plat::Surface s;
        plat::ImageFileInfo info;
        ASSERT_TRUE(plat::load_image(base + kExt[f], s, &info).ok) << f;
        EXPECT_EQ(s.format(), plat::PixelFormat::Indexed8) << kExt[f];

        ScratchImage back(7, 5, 8, ScratchImage::kSlot - 1);
        ASSERT_EQ(MAV_LoadImage((base + kExt[f]).c_str(), 0, 0), 0);
        EXPECT_EQ(back.bytes(), img.bytes()) << kExt[f];
        EXPECT_EQ(back.surface().palette(), img.surface().palette()) << kExt[f];
    }
    // JPEG holds colour.
    ASSERT_EQ(MAV_SaveImage(5, 7, 1, path("ix1").c_str()), 0);
    plat::Surface s = load(path("ix1.jpg"));
    EXPECT_EQ(s.format(), plat::PixelFormat::Rgb32);
}

// ---- request 9003 ----

TEST_F(ImageFiles, LoadRequestSelectsLoadsAndRestores) {
    const std::string pic = write_picture("req.png", 3, 3);
    ScratchImage target(4, 4, 32, 240);
    ScratchImage other(4, 4, 32, 241);  // current
    RequestSlot s;
    s.index = 240;
    s.path = pic.c_str();
    s.x = 1;
    s.y = 0;
    serve_load_request(s);
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(current_image().load(), 241);
    EXPECT_EQ(target.at(1, 0), plat::rgb(0, 0, 7));
    EXPECT_EQ(target.at(3, 2), plat::rgb(2, 2, 7));
    EXPECT_EQ(other.at(1, 0), 0u);

    const std::string missing = path("missing.png");
    s.path = missing.c_str();
    serve_load_request(s);
    EXPECT_EQ(s.result, 1);
    EXPECT_EQ(current_image().load(), 241);

    s.index = 242;  // no such image
    s.path = pic.c_str();
    serve_load_request(s);
    EXPECT_EQ(s.result, 2);
    EXPECT_EQ(current_image().load(), 241);
    EXPECT_EQ(other.at(1, 0), 0u);
}

// ---- drops ----

namespace {

class DroppedOnWindows : public ImageFiles {
protected:
    void SetUp() override {
        ImageFiles::SetUp();
        testsupport::register_library_window_classes();
    }
    void TearDown() override {
        ui_.run([] {
            for (int i = 0; i < kImageSlots; ++i) MAV_DestroyImage(i);
        });
        ImageFiles::TearDown();
    }
    testsupport::UiThread ui_;
};

}  // namespace

TEST_F(DroppedOnWindows, FirstFileLoadsIntoThatWindowWhichComesToTheFront) {
    const std::string a = write_picture("a.gif", 5, 5, plat::ImageFormat::Gif);
    const std::string b = write_picture("b.png", 5, 5);
    ASSERT_EQ(ui_.run([] { return MAV_CreateImage(3, "target", 0, 0, 200, 150, 100); }), 0);
    ASSERT_EQ(ui_.run([] { return MAV_CreateImage(4, "other", 600, 0, 200, 150, 100); }), 0);
    ASSERT_EQ(current_image().load(), 4);
    const plat::Hwnd target = image_record(3).hwnd;
    ASSERT_NE(plat::active_window(), target);

    const plat::Point origin = plat::client_origin(target);
    const plat::Point at{origin.x + 100, origin.y + 75};
    ASSERT_TRUE(plat::driver::drop_files(at, {a, b}));
    ASSERT_TRUE(plat::driver::wait_idle(5000));

    EXPECT_EQ(image_record(3).buffer.pixel(4, 4), plat::rgb(4, 4, 7));
    EXPECT_EQ(image_record(3).buffer.pixel(5, 5), 0u);
    EXPECT_EQ(current_image().load(), 4) << "the current image is restored";
    EXPECT_EQ(plat::active_window(), target);
    // The window shows it.
    plat::Surface shot = plat::driver::capture_window(target);
    const plat::Point corner = plat::window_rect(target).top_left();
    EXPECT_EQ(shot.pixel(origin.x - corner.x + 2, origin.y - corner.y + 3), plat::rgb(2, 3, 7));
}

namespace {

std::mutex g_created_mutex;
std::vector<std::string> g_created;

}  // namespace

TEST_F(ImageFiles, MainWindowDropsProbeEveryFormatsSize) {
    frame().quit_state = kQuitRunning;
    set_request_handler(kReqCreateImage, [](RequestSlot& s) {
        std::lock_guard lock(g_created_mutex);
        g_created.push_back(std::string(s.name) + " " + std::to_string(s.width) + "x" + std::to_string(s.height));
        s.result = 0;
    });
    set_request_handler(kReqLoadImage, [](RequestSlot& s) { s.result = 0; });
    set_request_handler(kReqRefresh, [](RequestSlot&) {});
    set_restore_image_hook([] { return 0; });
    std::atomic<bool> quit{false};
    std::thread server([&] {
        while (!quit) {
            plat::sleep_ms(1);
            if (request_slot().code.load() != 0) serve_request();
        }
    });
    std::vector<std::string> dropped{write_picture("a.bmp", 7, 3, plat::ImageFormat::Bmp),
                                     write_picture("b.jpg", 9, 4, plat::ImageFormat::Jpeg),
                                     write_picture("c.gif", 11, 5, plat::ImageFormat::Gif),
                                     write_picture("d.tif", 13, 6, plat::ImageFormat::Tiff),
                                     write_picture("e.png", 15, 7, plat::ImageFormat::Png)};
    std::ofstream(path("f.txt")) << "not a picture";
    dropped.push_back(path("f.txt"));
    {
        std::lock_guard lock(g_created_mutex);
        g_created.clear();
    }
    handle_dropped_files(dropped);
    while (request_slot().code.load() != 0) plat::sleep_ms(1);
    quit = true;
    server.join();
    for (int c = kReqCreateImage; c <= kReqButtonBox; ++c) set_request_handler(c, nullptr);
    set_restore_image_hook(nullptr);
    std::lock_guard lock(g_created_mutex);
    EXPECT_EQ(g_created, (std::vector<std::string>{"000 a.bmp 7x3", "001 b.jpg 9x4", "002 c.gif 11x5",
                                                   "003 d.tif 13x6", "004 e.png 15x7"}));
}
