// Images on the clipboard (copy, cut, paste with and without placement,
// clipboard bitmaps, request 9004, the main window's Paste) and the file
// dialogs with their remembered filter index and folder.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

#include "image/image_clipboard.h"
#include "image/image_table.h"
#include "image/image_window_internals.h"
#include "mavlib.h"
#include "plat/core/clipboard.h"
#include "plat/base/clock.h"
#include "plat/codecs/codecs.h"
#include "plat/base/codepage.h"
#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/codecs/dib.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "support/library_classes.h"
#include "support/temp_folder.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"

using namespace mav;
using testsupport::wait_until;
namespace fs = std::filesystem;

namespace {

class ImageClipboard : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::register_library_window_classes();
        frame().quit_state = kQuitRunning;
        frame().running = 0;
        frame().stop_flag = 0;
        plat::clipboard::clear();
        plat::driver::clear_shown_dialogs();
        plat::driver::set_dialog_mode(plat::driver::DialogMode::AutoAnswer);
    }
    void TearDown() override {
        ui_.run([] {
            for (int i = 0; i < kImageSlots; ++i) MAV_DestroyImage(i);
        });
        set_clipboard_block_limit(static_cast<std::size_t>(-1));
        plat::clipboard::clear();
        plat::driver::set_dialog_mode(plat::driver::DialogMode::AutoAnswer);
    }

    // The window is painted before the test goes on, so that the test's own
    // writes to the pixels never meet a first paint on the window's thread.
    int create(int index, int w, int h, int bits, int x = 0, int y = 0) {
        return ui_.run([=] {
            int r = bits == 8 ? MAV_CreateImage8(index, "c", x, y, w, h, 100) : MAV_CreateImage(index, "c", x, y, w, h, 100);
            if (r == 0) plat::update_window(image_record(index).hwnd);
            return r;
        });
    }
    // Pixels the window's thread may be drawing (the placement box): read there.
    std::uint32_t shown32(int index, int x, int y) { return ui_.run([=] { return px32(index, x, y); }); }
    static std::uint32_t& px32(int index, int x, int y) {
        return static_cast<std::uint32_t*>(mav_bits[index])[y * image_record(index).width + x];
    }
    static std::uint8_t& px8(int index, int x, int y) {
        return static_cast<std::uint8_t*>(mav_bits[index])[y * image_record(index).stride + x];
    }
    // Writes go through the window's thread, which paints from the same pixels.
    void fill_pattern32(int index) {
        ui_.run([index] {
            for (int y = 0; y < image_record(index).height; ++y)
                for (int x = 0; x < image_record(index).width; ++x) px32(index, x, y) = plat::rgb(x * 9, y * 13, 200 - x);
        });
    }
    // Keys go to the focused window: the image's window is brought forward first.
    void key_to(int index, int key) {
        plat::Hwnd h = image_record(index).hwnd;
        ui_.run([h] { plat::set_foreground(h); });
        plat::driver::press_key(key, true);
        ASSERT_TRUE(plat::driver::wait_idle());
    }
    static plat::Point client_point(int index, int x, int y) {
        return plat::client_origin(image_record(index).hwnd).translated(x, y);
    }

    testsupport::UiThread ui_;
};

}  // namespace

TEST_F(ImageClipboard, CopyPutsA24BitDibOfA32BitImage) {
    ASSERT_EQ(create(0, 200, 150, 32), 0);
    fill_pattern32(0);
    EXPECT_EQ(ui_.run([] { return MAV_CopyImage(0); }), 0);
    auto dib = plat::clipboard::dib();
    ASSERT_TRUE(dib.has_value());
    ASSERT_EQ(dib->size(), 40u + (200u * 3u + 3u) / 4u * 4u * 150u);
    plat::dib::Info info;
    ASSERT_TRUE(plat::dib::read_info(dib->data(), dib->size(), info));
    EXPECT_EQ(info.bits, 24);
    EXPECT_FALSE(info.top_down);
    EXPECT_EQ(info.width, 200);
    EXPECT_EQ(MAV_CopyImage(9), 1);
    EXPECT_EQ(MAV_CopyImage(300), 1);
}

TEST_F(ImageClipboard, CtrlCThenCtrlVIntoAnotherImageReproducesThePictureAtTheOrigin) {
    ASSERT_EQ(create(0, 200, 150, 32, 0, 0), 0);
    ASSERT_EQ(create(1, 300, 200, 32, 400, 0), 0);
    fill_pattern32(0);
    ui_.run([] { px32(1, 250, 180) = 0x123456; });  // outside the pasted area: kept
    key_to(0, 'C');
    ASSERT_TRUE(plat::clipboard::has_dib());
    key_to(1, 'V');
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x) ASSERT_EQ(px32(1, x, y), px32(0, x, y)) << x << "," << y;
    EXPECT_EQ(px32(1, 200, 0), 0u);
    EXPECT_EQ(px32(1, 250, 180), 0x123456u);
    // Ctrl+V did not select the pasted image.
    EXPECT_EQ(MAV_GetCurrentImage(), 1);  // created last
}

TEST_F(ImageClipboard, PastingIntoAn8BitImageTakesOverThePalette) {
    ASSERT_EQ(create(0, 201, 150, 8, 0, 0), 0);  // odd width: padded rows
    ASSERT_EQ(create(1, 210, 160, 8, 400, 0), 0);
    MAV_SelectImage(0);
    MAV_RGBQUAD pal[256];
    for (int i = 0; i < 256; ++i) pal[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 3), 0};
    pal[10] = pal[20];  // two entries alike: indices still come through as they are
    ui_.run([&] {
        ASSERT_EQ(MAV_SetPalette(pal, 256), 0);
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 201; ++x) px8(0, x, y) = std::uint8_t((x * 7 + y * 3) % 256);
        px8(0, 5, 5) = 10;
        px8(0, 6, 5) = 20;
    });
    key_to(0, 'C');
    auto dib = plat::clipboard::dib();
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->size(), 40u + 1024u + 204u * 150u);
    key_to(1, 'V');
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 201; ++x) ASSERT_EQ(px8(1, x, y), px8(0, x, y)) << x << "," << y;
    EXPECT_EQ(image_record(1).buffer.palette(), image_record(0).buffer.palette());
    EXPECT_EQ(px8(1, 5, 5), 10);
    EXPECT_EQ(px8(1, 6, 5), 20);
}

TEST_F(ImageClipboard, ClipboardBitmapsCarryTheirColourTable) {
    MAV_RGBQUAD pal[256] = {};
    int count = -1;
    EXPECT_EQ(MAV_GetClipboardBitmap(pal, &count), nullptr);  // nothing there
    EXPECT_EQ(count, 0);
    plat::clipboard::set_text(u"text only");
    EXPECT_EQ(MAV_GetClipboardBitmap(pal, &count), nullptr);

    // A 4-bit picture with three colours in its table.
    std::vector<std::uint8_t> d(40 + 12 + 4, 0);
    d[0] = 40;
    d[4] = 3;
    d[8] = 1;
    d[12] = 1;
    d[14] = 4;
    d[32] = 3;
    std::uint32_t colours[3] = {0x0000FF, 0x00FF00, 0xFF0000};
    std::memcpy(d.data() + 40, colours, 12);
    d[52] = 0x21;  // pixels 2, 1, 0
    plat::clipboard::set_dib(d);
    MAV_BITMAP b = MAV_GetClipboardBitmap(pal, &count);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(pal[0].rgbBlue, 255);
    EXPECT_EQ(pal[2].rgbRed, 255);
    int w = 0, h = 0;
    EXPECT_EQ(MAV_GetBitmapSize(b, &w, &h), 0);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 1);

    // Into an 8-bit image: entries 0..2 taken over, the rest kept.
    ASSERT_EQ(create(0, 200, 150, 8), 0);
    EXPECT_EQ(ui_.run([] { return MAV_PasteImage(0, 1, 0); }), 0);
    const auto& p = image_record(0).buffer.palette();
    EXPECT_EQ(p[0], 0x0000FFu);
    EXPECT_EQ(p[2], 0xFF0000u);
    EXPECT_EQ(p[3], plat::rgb(3, 3, 3));
    EXPECT_EQ(px8(0, 1, 0), 2);
    EXPECT_EQ(px8(0, 2, 0), 1);
    EXPECT_EQ(px8(0, 3, 0), 0);
    MAV_DeleteBitmap(b);
    MAV_DeleteBitmap(nullptr);

    // A 24-bit picture has no table.
    ASSERT_EQ(create(1, 200, 150, 32), 0);
    ui_.run([] { MAV_CopyImage(1); });
    b = MAV_GetClipboardBitmap(pal, &count);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(MAV_GetBitmapSize(nullptr, &w, &h), 1);
    MAV_DeleteBitmap(b);
}

TEST_F(ImageClipboard, SixteenBitBitmapsPasteAsTheSameBmpFileLoads) {
    // 37 x 23, bottom-up, after a 40-byte header: 5-6-5 with its bit fields, and 5-5-5 without.
    const int w = 37, h = 23;
    for (bool six : {true, false}) {
        std::vector<std::uint8_t> d(40, 0);
        auto put32 = [&d](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) d[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
        };
        put32(0, 40);
        put32(4, w);
        put32(8, h);
        d[12] = 1;
        d[14] = 16;
        if (six) {
            put32(16, 3);
            d.resize(52);
            put32(40, 0xF800);
            put32(44, 0x07E0);
            put32(48, 0x001F);
        }
        const std::size_t rows_at = d.size();
        const std::size_t stride = (w * 2 + 3) / 4 * 4;
        for (int row = 0; row < h; ++row) {
            std::vector<std::uint8_t> r(stride, 0);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t v = std::uint32_t(x * 1777 + row * 3331) ^ std::uint32_t(x * row * 97);
                r[std::size_t(2 * x)] = std::uint8_t(v);
                r[std::size_t(2 * x + 1)] = std::uint8_t(v >> 8);
            }
            d.insert(d.end(), r.begin(), r.end());
        }
        std::vector<std::uint8_t> file(14, 0);
        file[0] = 'B';
        file[1] = 'M';
        file[10] = std::uint8_t(14 + rows_at);
        file.insert(file.end(), d.begin(), d.end());
        plat::Surface loaded;
        ASSERT_TRUE(plat::decode_image(file.data(), file.size(), loaded).ok);
        ASSERT_NE(loaded.pixel(5, 5), loaded.pixel(6, 5));  // a picture, not a flat area

        ASSERT_EQ(create(0, 200, 150, 32), 0);
        plat::clipboard::set_dib(d);
        EXPECT_EQ(ui_.run([] { return MAV_PasteImage(0, 3, 2); }), 0) << six;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x) {
                const bool inside = x >= 3 && x < 3 + w && y >= 2 && y < 2 + h;
                ASSERT_EQ(px32(0, x, y), inside ? loaded.pixel(x - 3, y - 2) : 0u) << six << " " << x << "," << y;
            }
        ui_.run([] { MAV_DestroyImage(0); });
    }
}

TEST_F(ImageClipboard, TrueColourIntoAn8BitImageTakesTheNearestEntries) {
    ASSERT_EQ(create(0, 200, 150, 32), 0);
    ASSERT_EQ(create(1, 200, 150, 8, 400, 0), 0);
    ui_.run([] {
        px32(0, 0, 0) = 0x808080;
        px32(0, 1, 0) = 0x817F80;  // nearest grey: 128
        px32(0, 2, 0) = 0xFFFFFF;
    });
    ui_.run([] { MAV_CopyImage(0); });
    EXPECT_EQ(ui_.run([] { return MAV_PasteImage(1, 0, 0); }), 0);
    EXPECT_EQ(px8(1, 0, 0), 128);
    EXPECT_EQ(px8(1, 1, 0), 128);
    EXPECT_EQ(px8(1, 2, 0), 255);
    EXPECT_EQ(image_record(1).buffer.palette()[5], plat::rgb(5, 5, 5));  // the grey ramp stays

    // And back: an 8-bit picture into a 32-bit image gives its colours.
    ui_.run([] { MAV_CopyImage(1); });
    ui_.run([] { std::memset(mav_bits[0], 0, 200 * 150 * 4); });
    EXPECT_EQ(ui_.run([] { return MAV_PasteImage(0, -5, 2); }), 0);  // clipped at the left
    EXPECT_EQ(px32(0, 0, 2), 0u);
    EXPECT_EQ(px32(0, 0, 0), 0u);
    ui_.run([] { MAV_PasteImage(0, 0, 0); });
    EXPECT_EQ(px32(0, 0, 0), 0x808080u);
    EXPECT_EQ(px32(0, 2, 0), 0xFFFFFFu);
}

TEST_F(ImageClipboard, CutCopiesThenClears) {
    ASSERT_EQ(create(0, 200, 150, 32), 0);
    fill_pattern32(0);
    std::uint32_t corner = px32(0, 199, 149);
    key_to(0, 'X');
    for (int y = 0; y < 150; y += 7)
        for (int x = 0; x < 200; x += 7) ASSERT_EQ(px32(0, x, y), 0u);
    MAV_BITMAP b = MAV_GetClipboardBitmap(nullptr, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->picture.pixel(199, 149), corner);
    MAV_DeleteBitmap(b);
}

TEST_F(ImageClipboard, CopyWithoutMemoryLeavesTheClipboardEmptyAndSaysSo) {
    ASSERT_EQ(create(0, 200, 150, 32), 0);
    plat::clipboard::set_text(u"old");
    set_clipboard_block_limit(1000);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ui_.run([] { return MAV_CopyImage(0); }), 2);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(plat::clipboard::has_dib());
    EXPECT_FALSE(plat::clipboard::has_text());
    auto shown = plat::driver::shown_dialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Pause");
    EXPECT_EQ(shown[0].text, "No enough memory for copy");
    EXPECT_NE(err.find("No enough memory for copy"), std::string::npos);
}

TEST_F(ImageClipboard, PasteRefusals) {
    EXPECT_EQ(MAV_PasteImage(0, 0, 0), 1);
    ASSERT_EQ(create(0, 200, 150, 32), 0);
    EXPECT_EQ(ui_.run([] { return MAV_PasteImage(0, 0, 0); }), 2);
    EXPECT_EQ(MAV_DrawBitmap(nullptr), 2);
    std::vector<std::uint8_t> broken(30, 0);
    plat::clipboard::set_dib(broken);
    EXPECT_EQ(ui_.run([] { return MAV_PasteImage(0, 0, 0); }), 2);
}

TEST_F(ImageClipboard, PlacementFollowsTheMouseAndPlacesOnClick) {
    ASSERT_EQ(create(0, 200, 150, 32, 0, 0), 0);
    fill_pattern32(0);
    ui_.run([] { MAV_CopyImage(0); });
    ASSERT_EQ(ui_.run([] { return MAV_ResizeImage(0, 20, 12); }), 0);
    ui_.run([] {
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x) px32(0, x, y) = plat::rgb(10 + x, 20 + y, 30);
    });
    ui_.run([] { MAV_CopyImage(0); });
    ASSERT_EQ(create(1, 200, 150, 32, 400, 0), 0);
    MAV_SelectImage(0);

    std::atomic<int> result{-1};
    ui_.post([&] { result = MAV_PasteImage(1, -1, -1); });
    ASSERT_TRUE(wait_until([] { return point_pick().active.load() == 1; }));
    EXPECT_EQ(frame().pick_active.load(), 1);
    EXPECT_EQ(point_pick().image.load(), 1);
    EXPECT_EQ(MAV_GetCurrentImage(), 1);  // the placement selects the image

    ASSERT_EQ(image_record(1).zoom, 100);
    plat::driver::move_mouse(client_point(1, 50, 40));
    ASSERT_TRUE(wait_until([&] { return shown32(1, 40, 34) == 0xFFFFFFu; }));
    // The box from (40, 34) to (59, 45) and its diagonals, inverted.
    EXPECT_EQ(shown32(1, 59, 45), 0xFFFFFFu);
    EXPECT_EQ(shown32(1, 41, 35), 0xFFFFFFu);
    EXPECT_EQ(shown32(1, 58, 35), 0xFFFFFFu);
    EXPECT_EQ(shown32(1, 43, 40), 0u);
    EXPECT_EQ(shown32(1, 39, 34), 0u);
    // Keys are ignored while placing.
    plat::driver::press_key('Q', true);
    plat::driver::move_mouse(client_point(1, 100, 80));
    ASSERT_TRUE(wait_until([&] { return shown32(1, 90, 74) == 0xFFFFFFu; }));
    EXPECT_EQ(shown32(1, 40, 34), 0u);  // the old box is gone
    EXPECT_TRUE(image_record(1).in_use.load());

    plat::driver::click(client_point(1, 100, 80));
    ASSERT_TRUE(wait_until([&] { return result.load() != -1; }));
    EXPECT_EQ(result.load(), 0);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(px32(1, 90 + x, 74 + y), plat::rgb(10 + x, 20 + y, 30)) << x << "," << y;
    EXPECT_EQ(px32(1, 89, 73), 0u);
    EXPECT_EQ(px32(1, 110, 86), 0u);
    EXPECT_EQ(point_pick().active.load(), 0);
    EXPECT_EQ(point_pick().image.load(), -1);
    EXPECT_EQ(frame().pick_active.load(), 0);
}

TEST_F(ImageClipboard, PlacementIsCancelledByTheRightButtonOrExit) {
    ASSERT_EQ(create(0, 200, 150, 32, 0, 0), 0);
    fill_pattern32(0);
    ui_.run([] { MAV_CopyImage(0); });
    ASSERT_EQ(create(1, 200, 150, 32, 400, 0), 0);

    std::atomic<int> result{-1};
    ui_.post([&] { result = MAV_PasteImage(1, 5, -1); });
    ASSERT_TRUE(wait_until([] { return point_pick().active.load() == 1; }));
    plat::driver::move_mouse(client_point(1, 60, 60));
    // The box runs from (-40, -15) to (159, 134): its right edge shows.
    ASSERT_TRUE(wait_until([&] { return shown32(1, 159, 60) == 0xFFFFFFu; }));
    plat::driver::click(client_point(1, 60, 60), plat::MouseButton::Right);
    ASSERT_TRUE(wait_until([&] { return result.load() != -1; }));
    EXPECT_EQ(result.load(), 3);
    for (int y = 0; y < 150; y += 3)
        for (int x = 0; x < 200; x += 3) ASSERT_EQ(px32(1, x, y), 0u) << x << "," << y;
    EXPECT_EQ(frame().pick_active.load(), 0);

    // Exit ends a placement as well.
    result = -1;
    ui_.post([&] { result = MAV_PasteImage(1, -1, -1); });
    ASSERT_TRUE(wait_until([] { return point_pick().active.load() == 1; }));
    frame().quit_state = kQuitRequested;
    ASSERT_TRUE(wait_until([&] { return result.load() != -1; }));
    EXPECT_EQ(result.load(), 3);
    frame().quit_state = kQuitRunning;
}

TEST_F(ImageClipboard, RequestDrawBitmapDrawsIntoTheCurrentImageAndFreesIt) {
    register_clipboard_requests();
    ASSERT_EQ(create(0, 200, 150, 32), 0);
    fill_pattern32(0);
    ui_.run([] { MAV_CopyImage(0); });
    ASSERT_EQ(create(1, 200, 150, 32, 400, 0), 0);  // current
    RequestSlot& s = request_slot();
    s.bitmap = MAV_GetClipboardBitmap(nullptr, nullptr);
    ASSERT_NE(s.bitmap, nullptr);
    s.done = 0;
    s.code = kReqDrawBitmap;
    ui_.run([] { serve_request(); });
    EXPECT_EQ(s.bitmap, nullptr);
    EXPECT_EQ(s.done.load(), 1);
    EXPECT_EQ(px32(1, 199, 149), px32(0, 199, 149));
    EXPECT_EQ(px32(1, 7, 3), px32(0, 7, 3));
}

TEST_F(ImageClipboard, MainWindowPasteOpensTheFirstFreeSlot) {
    register_image_requests();
    register_clipboard_requests();
    ASSERT_EQ(create(0, 210, 160, 32), 0);
    ASSERT_EQ(create(2, 200, 150, 32, 400, 0), 0);
    fill_pattern32(2);
    ui_.run([] { MAV_CopyImage(2); });
    MAV_SelectImage(0);

    // The UI thread serves requests as the user thread's idle loop does;
    // the test thread posts them as the window thread.
    std::atomic<bool> serving{true};
    ui_.post([&] {
        while (serving) {
            MAV_PumpMessages();
            if (request_slot().code.load() != 0) serve_request();
            plat::sleep_ms(1);
        }
    });
    frame().running = 1;  // ignored while the program runs
    paste_into_new_image();
    EXPECT_FALSE(image_record(1).in_use.load());
    frame().running = 0;
    paste_into_new_image();
    ASSERT_TRUE(wait_until([] { return request_slot().code.load() == 0; }));
    serving = false;
    ui_.run([] {});

    ASSERT_TRUE(image_record(1).in_use.load());
    EXPECT_EQ(MAV_GetImageBits(1), 32);
    EXPECT_EQ(image_record(1).title, "001");
    EXPECT_EQ(MAV_GetImageWidth(1), 200);
    EXPECT_EQ(MAV_GetImageHeight(1), 150);
    for (int y = 0; y < 150; y += 5)
        for (int x = 0; x < 200; x += 5) ASSERT_EQ(px32(1, x, y), px32(2, x, y));
    EXPECT_EQ(MAV_GetCurrentImage(), 0);  // restored after the paste
}

// ---- The file dialogs ---------------------------------------------------------

namespace {

class Folder {
public:
    Folder() {
        root_.folder("sub");
        for (const char* f : {"a.bmp", "b.png", "sub/inner.png"}) std::ofstream(root_.file(f)) << "x";
    }
    std::string path() const { return root_.str(); }
    std::string operator/(const char* name) const { return root_.file(name); }

private:
    testsupport::TempFolder root_{"dialogs_", testsupport::TempFolder::Naming::Short};
};

class FileDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        plat::driver::clear_shown_dialogs();
        plat::driver::set_dialog_mode(plat::driver::DialogMode::AutoAnswer);
    }
    void TearDown() override {
        plat::driver::set_dialog_mode(plat::driver::DialogMode::AutoAnswer);
        for (int i = 0; i < 5 && posted && !done.load(); ++i) {
            plat::driver::press_key(plat::key::Escape);
            plat::driver::wait_idle();
        }
        EXPECT_TRUE(!posted || wait_until([this] { return done.load(); }));
    }
    // Runs a dialog call on the UI thread with the dialog left open for input.
    plat::Hwnd run(std::function<int(char*)> call) {
        plat::driver::set_dialog_mode(plat::driver::DialogMode::WaitForInput);
        posted = true;
        done = false;
        ui_.post([this, call] {
            char buf[260] = "untouched";
            int r = call(buf);
            out = buf;
            result = r;
            done = true;
        });
        EXPECT_TRUE(wait_until([] { return bool(plat::find_window("plat_filedlg")); }));
        EXPECT_TRUE(plat::driver::wait_idle());
        return plat::find_window("plat_filedlg");
    }
    int wait_result() {
        EXPECT_TRUE(wait_until([this] { return done.load(); }, 5000));
        return result.load();
    }
    static std::string field(plat::Hwnd dlg, int id) { return plat::window_text(plat::child_by_id(dlg, id)); }
    static plat::Point centre(plat::Hwnd h) {
        plat::Rect r = plat::window_rect(h);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    static plat::Point row(plat::Hwnd dlg, int i) {
        return plat::client_origin(plat::child_by_id(dlg, plat::filedlg::kList)).translated(40, 2 + i * 16 + 8);
    }

    std::atomic<int> result{-1};
    std::atomic<bool> done{false};
    std::string out;
    bool posted = false;
    testsupport::UiThread ui_;
};

}  // namespace

TEST_F(FileDialogs, HeadlessAnswersAndCancelsChangeOnlyWhatTheyShould) {
    Folder dir;
    frame().open_dir = plat::utf8_to_sjis(dir.path());
    int filter = MAV_GetOpenFilterIndex();
    char path[260] = "untouched";

    // Nobody answers: the caption goes to stderr, and nothing changes.
    testing::internal::CaptureStderr();
    EXPECT_EQ(MAV_OpenFileDialog("Load image file", path), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Load image file"), std::string::npos);
    plat::driver::queue_dialog_answer({true, ""});
    EXPECT_EQ(MAV_OpenFileDialog("Load image file", path), 1);
    EXPECT_STREQ(path, "untouched");
    EXPECT_EQ(frame().open_dir, plat::utf8_to_sjis(dir.path()));
    EXPECT_EQ(MAV_GetOpenFilterIndex(), filter);

    // A relative answer is taken in the remembered folder.
    plat::driver::queue_dialog_answer({false, "sub/inner.png"});
    EXPECT_EQ(MAV_OpenFileDialog(nullptr, path), 0);
    EXPECT_EQ(std::string(path), dir / "sub/inner.png");
    EXPECT_EQ(frame().open_dir, dir / "sub/");
    EXPECT_EQ(plat::driver::shown_dialogs().back().caption, "Open");

    // The save dialog keeps its own folder.
    frame().save_dir = plat::utf8_to_sjis(dir.path());
    testing::internal::CaptureStderr();
    EXPECT_EQ(MAV_SaveFileDialog(path), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Save as"), std::string::npos);
    plat::driver::queue_dialog_answer({false, "out.png"});
    EXPECT_EQ(MAV_SaveFileDialog(path), 0);
    EXPECT_EQ(std::string(path), dir / "out.png");
    EXPECT_EQ(frame().save_dir, dir.path() + "/");
    EXPECT_EQ(frame().open_dir, dir / "sub/");
}

TEST_F(FileDialogs, PathsThatDoNotFitAreRefusedRatherThanCut) {
    Folder dir;
    frame().open_dir = plat::utf8_to_sjis(dir.path());
    int filter = MAV_GetOpenFilterIndex();
    char path[260] = "untouched";
    plat::driver::queue_dialog_answer({false, "/" + std::string(259, 'n')});
    testing::internal::CaptureStderr();
    EXPECT_EQ(MAV_OpenFileDialog(nullptr, path), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("longer than 259"), std::string::npos);
    EXPECT_STREQ(path, "untouched");
    EXPECT_EQ(frame().open_dir, plat::utf8_to_sjis(dir.path()));
    EXPECT_EQ(MAV_GetOpenFilterIndex(), filter);

    // 259 bytes fit; Shift-JIS counts two bytes for a kanji.
    plat::driver::queue_dialog_answer({false, "/" + std::string(258, 'n')});
    EXPECT_EQ(MAV_OpenFileDialog(nullptr, path), 0);
    EXPECT_EQ(std::strlen(path), 259u);
    plat::driver::queue_dialog_answer({false, "/\xE6\xBC\xA2" + std::string(257, 'n')});  // 260 bytes in Shift-JIS
    EXPECT_EQ(MAV_OpenFileDialog(nullptr, path), 1);
    plat::driver::queue_dialog_answer({false, "/\xE6\xBC\xA2.png"});
    EXPECT_EQ(MAV_OpenFileDialog(nullptr, path), 0);
    EXPECT_STREQ(path, "/\x8A\xBF.png");
}

TEST_F(FileDialogs, OpenRemembersTheFilterAndFolderAfterOk) {
    Folder dir;
    frame().open_dir = plat::utf8_to_sjis(dir.path());
    plat::Hwnd dlg = run([](char* p) { return MAV_OpenFileDialog("Load image file", p); });
    ASSERT_TRUE(dlg);
    EXPECT_EQ(plat::window_text(dlg), "Load image file");
    // The first dialog starts at the BMP entry with its pattern.
    EXPECT_EQ(MAV_GetOpenFilterIndex(), 2);
    EXPECT_EQ(field(dlg, plat::filedlg::kName), "*.BMP;*.RLE;*.DIB");
    EXPECT_EQ(field(dlg, plat::filedlg::kFolder), dir.path());

    // PNG, into sub, pick inner.png.
    plat::driver::click(centre(plat::child_by_id(dlg, plat::filedlg::kFilter)));
    ASSERT_TRUE(plat::driver::wait_idle());
    auto item = plat::driver::open_menu_item("PNG (*.PNG)");
    ASSERT_TRUE(item.has_value());
    plat::driver::click({(item->left + item->right) / 2, (item->top + item->bottom) / 2});
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::driver::click(row(dlg, 1));  // .., sub, b.png
    plat::driver::click(row(dlg, 1));
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(field(dlg, plat::filedlg::kFolder), dir / "sub");
    plat::driver::click(row(dlg, 1));
    plat::driver::click(centre(plat::child_by_id(dlg, plat::kIdOk)));
    EXPECT_EQ(wait_result(), 0);
    EXPECT_EQ(out, dir / "sub/inner.png");
    EXPECT_EQ(MAV_GetOpenFilterIndex(), 5);
    EXPECT_EQ(frame().open_dir, dir / "sub/");

    // The next dialog starts where this one ended.
    dlg = run([](char* p) { return MAV_OpenFileDialog(nullptr, p); });
    ASSERT_TRUE(dlg);
    EXPECT_EQ(field(dlg, plat::filedlg::kName), "*.PNG");
    EXPECT_EQ(field(dlg, plat::filedlg::kFolder), dir / "sub");
    // Cancelling after changing the filter changes nothing.
    plat::driver::click(centre(plat::child_by_id(dlg, plat::filedlg::kFilter)));
    ASSERT_TRUE(plat::driver::wait_idle());
    item = plat::driver::open_menu_item("All Files (*.*)");
    ASSERT_TRUE(item.has_value());
    plat::driver::click({(item->left + item->right) / 2, (item->top + item->bottom) / 2});
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::driver::press_key(plat::key::Escape);
    EXPECT_EQ(wait_result(), 1);
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(MAV_GetOpenFilterIndex(), 5);
    EXPECT_EQ(frame().open_dir, dir / "sub/");
}

TEST_F(FileDialogs, SaveAsksBeforeOverwritingAndRemembersOnOk) {
    Folder dir;
    frame().save_dir = plat::utf8_to_sjis(dir.path());
    plat::Hwnd dlg = run([](char* p) { return MAV_SaveFileDialog(p); });
    ASSERT_TRUE(dlg);
    EXPECT_EQ(plat::window_text(dlg), "Save as");
    EXPECT_EQ(field(dlg, plat::filedlg::kName), "noname");
    plat::driver::type_text("a.bmp");
    plat::driver::press_key(plat::key::Enter);
    ASSERT_TRUE(wait_until([] { return bool(plat::find_window("plat_question")); }));
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(plat::driver::shown_dialogs().back().text, "a.bmp already exists.\nDo you want to replace it?");
    plat::driver::press_key('N');
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_FALSE(done);
    plat::driver::press_key(plat::key::Escape);
    EXPECT_EQ(wait_result(), 1);
    EXPECT_EQ(frame().save_dir, plat::utf8_to_sjis(dir.path()));

    dlg = run([](char* p) { return MAV_SaveFileDialog(p); });
    ASSERT_TRUE(dlg);
    EXPECT_EQ(MAV_GetSaveFilterIndex(), 2);
    plat::driver::type_text("sub/inner.png");
    plat::driver::press_key(plat::key::Enter);
    ASSERT_TRUE(wait_until([] { return bool(plat::find_window("plat_question")); }));
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::driver::press_key('Y');
    EXPECT_EQ(wait_result(), 0);
    EXPECT_EQ(out, dir / "sub/inner.png");
    EXPECT_EQ(frame().save_dir, dir / "sub/");
}
