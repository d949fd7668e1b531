// Image windows: zoom fitting, captions, the selection stack, buffers and
// what the window shows after a refresh.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/image_table.h"
#include "image/image_window_internals.h"
#include "mavlib.h"
#include "plat/base/codepage.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "runtime/mailbox.h"
#include "support/library_classes.h"
#include "support/ui_thread.h"

using namespace mav;

namespace {

class ImageWindows : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::register_library_window_classes();
    }
    void TearDown() override {
        ui_.run([] {
            for (int i = 0; i < kImageSlots; ++i) MAV_DestroyImage(i);
        });
    }
    int create(int index, const char* title, int w, int h, int zoom, int bits = 32, int x = 0, int y = 0) {
        return ui_.run([=] {
            return bits == 8 ? MAV_CreateImage8(index, title, x, y, w, h, zoom)
                             : MAV_CreateImage(index, title, x, y, w, h, zoom);
        });
    }
    std::string caption(int index) { return plat::window_text(image_record(index).hwnd); }
    plat::Rect client(int index) { return plat::client_rect(image_record(index).hwnd); }

    testsupport::UiThread ui_;
};

}  // namespace

TEST_F(ImageWindows, WideImageZoomIsLoweredToFitTheScreen) {
    ASSERT_EQ(create(0, "work", 4000, 1000, 100), 0);
    EXPECT_EQ(image_record(0).zoom, 48);
    EXPECT_EQ(client(0), (plat::Rect{0, 0, 1920, 480}));
    EXPECT_EQ(caption(0), "work(48%)");
}

TEST_F(ImageWindows, TinyImageZoomIsRaisedToTheSmallestWindow) {
    ASSERT_EQ(create(1, "dot", 1, 1, 100), 0);
    // The smallest window is 136 x 39 with a 4-pixel frame: a client 128
    // wide, which one pixel fills at 12800 %.
    EXPECT_EQ(image_record(1).zoom, 12800);
    EXPECT_EQ(client(1).width(), 128);
    EXPECT_EQ(client(1).height(), 128);
    EXPECT_EQ(caption(1), "dot(12800%)");
}

TEST_F(ImageWindows, RefusalsLeaveTheExistingImageAlone) {
    ASSERT_EQ(create(2, "first", 10, 10, 100), 0);
    void* pixels = mav_bits[2];
    EXPECT_EQ(create(2, "second", 20, 20, 100), 1);
    EXPECT_EQ(mav_bits[2], pixels);
    EXPECT_EQ(image_record(2).width, 10);
    EXPECT_EQ(create(256, "x", 10, 10, 100), 4);
    EXPECT_EQ(ui_.run([] { return create_image(3, "x", 0, 0, 10, 10, 100, 16, 1); }), 3);
    EXPECT_EQ(ui_.run([] { return MAV_CreateImage(4, "narrow", 0, 0, 1, 5000, 100); }), 2);
    EXPECT_FALSE(image_record(4).in_use.load());
    EXPECT_EQ(MAV_DestroyImage(4), 1);
    // At zoom 1 this is 2000 x 11: tall enough for the smallest window but
    // wider than the screen, and no smaller zoom exists.
    EXPECT_EQ(ui_.run([] { return MAV_CreateImage8(4, "wide", 0, 0, 200000, 1100, 100); }), 2);
    EXPECT_FALSE(image_record(4).in_use.load());
    EXPECT_EQ(mav_bits[4], nullptr);
}

TEST_F(ImageWindows, EightBitRowsArePaddedToFourBytes) {
    ASSERT_EQ(create(5, "pal", 5, 3, 100, 8), 0);
    EXPECT_EQ(image_record(5).stride, 8);
    auto* bytes = static_cast<std::uint8_t*>(mav_bits[5]);
    bytes[8] = 200;  // pixel (0, 1)
    EXPECT_EQ(image_record(5).buffer.pixel(0, 1), plat::rgb(200, 200, 200));  // the grey ramp
    // Five pixels are narrower than the smallest window's 128-pixel client:
    // the zoom rose to 2560 %, which fills it exactly (the height follows).
    EXPECT_EQ(caption(5), "pal(2560%)[8bit]");
    EXPECT_EQ(client(5).width(), 128);
    EXPECT_EQ(client(5).height(), 76);
    // The palette is written by the thread that owns the window, as programs
    // do: its paints read it.
    static const MAV_RGBQUAD red{0, 0, 255, 0};
    ASSERT_EQ(ui_.run([] { return MAV_SetPalette(&red, 1); }), 0);
    MAV_RGBQUAD all[256];
    ASSERT_EQ(MAV_GetPalette(all), 0);
    EXPECT_EQ(all[0].rgbRed, 255);
    EXPECT_EQ(all[0].rgbBlue, 0);
    EXPECT_EQ(all[7].rgbGreen, 7);
    ASSERT_EQ(create(6, "rgb", 4, 4, 100), 0);
    EXPECT_EQ(ui_.run([] { return MAV_SetPalette(&red, 1); }), 2);  // the current image is 32-bit
}

TEST_F(ImageWindows, SelectionStackRemembersEightAndThenRepeatsTheOldest) {
    for (int i = 0; i < 10; ++i) ASSERT_EQ(create(i, "s", 4, 4, 100), 0);
    // Creation selected 9 last; select 0..8 in turn on top of it.
    for (int i = 0; i <= 8; ++i) ASSERT_EQ(MAV_SelectImage(i), 0);
    std::vector<int> seen;
    for (int i = 0; i < 9; ++i) {
        MAV_RestoreImage();
        seen.push_back(MAV_GetCurrentImage());
    }
    EXPECT_EQ(seen, (std::vector<int>{7, 6, 5, 4, 3, 2, 1, 0, 0}));
    EXPECT_EQ(MAV_SelectImage(200), 1);
    EXPECT_EQ(MAV_SelectImage(300), 1);
}

TEST_F(ImageWindows, StretchModeCaptionAndUnknownModes) {
    ASSERT_EQ(create(0, "work", 400, 200, 50), 0);
    EXPECT_EQ(MAV_GetStretchMode(0), 3);
    ASSERT_EQ(ui_.run([] { return MAV_SetStretchMode(0, 4); }), 0);
    EXPECT_EQ(caption(0), "work(50%)*");
    ASSERT_EQ(ui_.run([] { return MAV_SetStretchMode(0, 5); }), 0);
    EXPECT_EQ(MAV_GetStretchMode(0), 4);
    EXPECT_EQ(MAV_GetStretchMode(1), 0);
}

TEST_F(ImageWindows, RefreshShowsTheBufferAtItsZoom) {
    ASSERT_EQ(create(0, "px", 150, 100, 200, 32, 10, 10), 0);
    auto* px = static_cast<std::uint32_t*>(mav_bits[0]);
    px[0] = 0xFF0000;       // (0, 0)
    px[150 + 1] = 0x00FF00;  // (1, 1)
    plat::Surface before = plat::capture_window_pixels(image_record(0).hwnd);
    plat::Point o = plat::client_origin(image_record(0).hwnd);
    plat::Point wo = plat::window_rect(image_record(0).hwnd).top_left();
    int cx = o.x - wo.x, cy = o.y - wo.y;
    EXPECT_EQ(before.pixel(cx, cy), 0u);  // nothing shows before a refresh
    ui_.run([] { MAV_Refresh(0); });
    plat::Surface after = plat::capture_window_pixels(image_record(0).hwnd);
    for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
            EXPECT_EQ(after.pixel(cx + dx, cy + dy), 0xFF0000u);
            EXPECT_EQ(after.pixel(cx + 2 + dx, cy + 2 + dy), 0x00FF00u);
        }
    EXPECT_EQ(after.pixel(cx + 4, cy + 4), 0u);
}

TEST_F(ImageWindows, ZoomKeysAndTheWheel) {
    ASSERT_EQ(create(0, "z", 300, 200, 100, 32, 50, 50), 0);
    plat::Hwnd h = image_record(0).hwnd;
    ui_.run([&] { plat::set_foreground(h); });
    plat::driver::press_key(plat::key::NumpadAdd, true);
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(image_record(0).zoom, 111);
    EXPECT_EQ(client(0), (plat::Rect{0, 0, 333, 222}));
    EXPECT_EQ(caption(0), "z(111%)");
    plat::driver::press_key(plat::key::Numpad0, true);
    plat::driver::press_key(plat::key::NumpadSubtract, true);
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(image_record(0).zoom, 90);
    plat::driver::press_key(plat::key::Tab);
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(MAV_GetStretchMode(0), 4);
    plat::Point inside = plat::client_origin(h).translated(5, 5);
    plat::driver::hold_key(plat::key::Control);
    plat::inject_wheel(-120, inside);
    plat::driver::release_key(plat::key::Control);
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(image_record(0).zoom, 100);  // (10 * 90 + 4) / 9
    // Dragging the border never changes the size.
    plat::Rect wr = plat::window_rect(h);
    plat::driver::press_button({wr.right - 1, wr.top + 60});
    plat::driver::move_mouse({wr.right + 50, wr.top + 60});
    plat::driver::release_button({wr.right + 50, wr.top + 60});
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(plat::window_rect(h), wr);
}

TEST_F(ImageWindows, UnfittableZoomChangeKeepsTheImage) {
    // A tall, narrow image fits only in free layout; judged by the screen
    // limits it cannot be fitted at any zoom.
    ASSERT_EQ(ui_.run([] { return MAV_CreateImageFL(0, "tall", 0, 0, 100, 2000, 100); }), 0);
    image_record(0).layout = 1;
    EXPECT_EQ(ui_.run([] { return MAV_SetImageZoom(0, 50); }), 2);
    EXPECT_EQ(image_record(0).zoom, 100);
    EXPECT_EQ(MAV_Refresh(0), 0);
    ui_.run([] { MAV_DestroyImage(0); });

    // Wider than the screen even at zoom 1, the lowest zoom there is.
    ASSERT_EQ(ui_.run([] { return MAV_CreateImage8FL(0, "wide", 0, 0, 200000, 1100, 100); }), 0);
    ASSERT_EQ(image_record(0).zoom, 1);
    image_record(0).layout = 1;
    plat::Rect before = plat::window_rect(image_record(0).hwnd);
    EXPECT_EQ(ui_.run([] { return MAV_SetImageZoom(0, 100); }), 2);
    EXPECT_EQ(image_record(0).zoom, 1);
    EXPECT_EQ(image_record(0).disp_width, 2000);
    EXPECT_EQ(plat::window_rect(image_record(0).hwnd), before);
}

TEST_F(ImageWindows, NegativePositionsAreRealAndOnlyMinusOneIsTheDefault) {
    ASSERT_EQ(create(0, "left", 100, 50, 100, 32, -20, -30), 0);
    plat::Hwnd h = image_record(0).hwnd;
    EXPECT_EQ(plat::window_rect(h).top_left(), (plat::Point{-20, -30}));
    ASSERT_EQ(ui_.run([] { return MAV_ResizeImage(0, 120, 60); }), 0);
    EXPECT_EQ(plat::window_rect(image_record(0).hwnd).top_left(), (plat::Point{-20, -30}));
    ui_.run([] { MAV_MoveImage(0, -40, 7); });
    ASSERT_EQ(ui_.run([] { return MAV_ResizeImage(0, 80, 40); }), 0);
    EXPECT_EQ(plat::window_rect(image_record(0).hwnd).top_left(), (plat::Point{-40, 7}));

    // -1 leaves that coordinate to the platform, which places windows on the work area.
    plat::Rect wa = plat::work_area();
    ASSERT_EQ(create(1, "default", 100, 50, 100, 32, -1, 200), 0);
    plat::Point p1 = plat::window_rect(image_record(1).hwnd).top_left();
    EXPECT_GT(p1.x, wa.left);
    EXPECT_EQ(p1.y, 200);
    ASSERT_EQ(create(2, "default", 100, 50, 100, 32, 300, -1), 0);
    plat::Point p2 = plat::window_rect(image_record(2).hwnd).top_left();
    EXPECT_EQ(p2.x, 300);
    EXPECT_GT(p2.y, wa.top);
    // A window that sits at -1 stays there through a resize.
    ui_.run([] { MAV_MoveImage(2, -1, -1); });
    ASSERT_EQ(ui_.run([] { return MAV_ResizeImage(2, 90, 30); }), 0);
    EXPECT_EQ(plat::window_rect(image_record(2).hwnd).top_left(), (plat::Point{-1, -1}));
}

TEST_F(ImageWindows, LongCaptionsAreCutBetweenCharactersAndStayWithin255Bytes) {
    const std::string a = "\x82\xa0";  // one double-byte character
    std::string doubles;
    for (int i = 0; i < 150; ++i) doubles += a;
    std::string body127;  // 254 bytes: the 128th character would not fit
    for (int i = 0; i < 127; ++i) body127 += a;

    ASSERT_EQ(ui_.run([&] { return MAV_CreateImage(0, doubles.c_str(), 0, 0, 50, 50, 100); }), 0);
    EXPECT_EQ(image_caption(image_record(0)), body127);
    EXPECT_EQ(caption(0), plat::sjis_to_utf8(body127));
    ui_.run([] { MAV_SetStretchMode(0, 4); });
    EXPECT_EQ(image_caption(image_record(0)), body127 + "*");

    // One single-byte character first: 255 bytes fit exactly, and with the
    // mark a whole character goes.
    const std::string odd = "a" + doubles;
    ASSERT_EQ(ui_.run([&] { return MAV_CreateImage(1, odd.c_str(), 0, 0, 50, 50, 100); }), 0);
    EXPECT_EQ(image_caption(image_record(1)), "a" + body127);
    ui_.run([] { MAV_SetStretchMode(1, 4); });
    EXPECT_EQ(image_caption(image_record(1)), "a" + body127.substr(0, 252) + "*");
    EXPECT_EQ(caption(1), plat::sjis_to_utf8("a" + body127.substr(0, 252) + "*"));
}

TEST_F(ImageWindows, ResizeKeepsTitlePlaceModeAndPaletteButClears) {
    ASSERT_EQ(create(0, "keep", 60, 40, 300, 8, 40, 60), 0);
    ui_.run([] {
        const MAV_RGBQUAD green{0, 255, 0, 0};
        MAV_SetPalette(&green, 1);
        MAV_SetStretchMode(0, 4);
        static_cast<std::uint8_t*>(mav_bits[0])[0] = 9;
    });
    plat::Point place = plat::window_rect(image_record(0).hwnd).top_left();
    ASSERT_EQ(ui_.run([] { return MAV_ResizeImage(0, 90, 15); }), 0);
    const ImageRecord& r = image_record(0);
    EXPECT_EQ(r.width, 90);
    EXPECT_EQ(r.zoom, 300);
    EXPECT_EQ(r.bits, 8);
    EXPECT_EQ(plat::window_rect(r.hwnd).top_left(), place);
    EXPECT_EQ(MAV_GetStretchMode(0), 4);
    EXPECT_EQ(r.buffer.palette()[0], 0x00FF00u);
    EXPECT_EQ(static_cast<std::uint8_t*>(mav_bits[0])[0], 0);
    EXPECT_EQ(caption(0), "keep(300%)[8bit]*");
}

// A size whose window cannot be shown is refused with the image, its pixels,
// palette, window and caption as they were, and the current image unchanged.
TEST_F(ImageWindows, ARefusedResizeLeavesTheImageAsItWas) {
    const struct {
        int width, height;
    } refused[] = {{1, 5000}, {200000, 1100}, {7200, 3}, {640, 1}, {0, 4000}};
    for (int bits : {32, 8}) {
        ASSERT_EQ(create(3, "kept", 90, 40, 100, bits, 30, 50), 0);
        ASSERT_EQ(create(4, "other", 20, 20, 100), 0);  // current from here on
        ui_.run([] {
            const MAV_RGBQUAD blue{255, 0, 0, 0};
            MAV_SelectImage(3);
            MAV_SetPalette(&blue, 1);
            MAV_SetPixel(89, 39, 0x123456);
            MAV_SelectImage(4);
        });
        const plat::Hwnd window = image_record(3).hwnd;
        void* const pixels = mav_bits[3];
        const std::vector<std::uint8_t> before(static_cast<std::uint8_t*>(pixels),
                                               static_cast<std::uint8_t*>(pixels) + image_record(3).stride * 40);
        const plat::Rect place = plat::window_rect(window);
        const std::string shown = caption(3);
        for (const auto& size : refused) {
            EXPECT_EQ(ui_.run([&] { return MAV_ResizeImage(3, size.width, size.height); }), 2)
                << size.width << " x " << size.height << ", " << bits << "-bit";
            const ImageRecord& r = image_record(3);
            ASSERT_TRUE(r.in_use.load());
            EXPECT_EQ(r.hwnd, window);
            EXPECT_TRUE(plat::is_window(window));
            EXPECT_EQ(mav_bits[3], pixels);
            EXPECT_EQ(std::vector<std::uint8_t>(static_cast<std::uint8_t*>(pixels),
                                                static_cast<std::uint8_t*>(pixels) + r.stride * 40),
                      before);
            EXPECT_EQ(MAV_GetImageWidth(3), 90);
            EXPECT_EQ(MAV_GetImageHeight(3), 40);
            EXPECT_EQ(plat::window_rect(window), place);
            EXPECT_EQ(caption(3), shown);
            EXPECT_EQ(MAV_GetCurrentImage(), 4);
            if (bits == 8) {
                EXPECT_EQ(r.buffer.palette()[0], 0x0000FFu);
            }
        }
        // It still resizes to a size that can be shown, where it was.
        ASSERT_EQ(ui_.run([] { return MAV_ResizeImage(3, 120, 60); }), 0);
        EXPECT_EQ(plat::window_rect(image_record(3).hwnd).top_left(), place.top_left());
        EXPECT_FALSE(plat::is_window(window));
        ui_.run([] {
            MAV_DestroyImage(3);
            MAV_DestroyImage(4);
        });
    }
}

TEST_F(ImageWindows, ClosingTheWindowDestroysTheImageButKeepsTheCurrentNumber) {
    ASSERT_EQ(create(7, "gone", 50, 50, 100, 32, 300, 300), 0);
    plat::Hwnd h = image_record(7).hwnd;
    ui_.run([&] {
        plat::Message m;
        m.window = h;
        m.kind = plat::MsgKind::Close;
        plat::send_message(m);
    });
    EXPECT_FALSE(image_record(7).in_use.load());
    EXPECT_FALSE(plat::is_window(h));
    EXPECT_EQ(mav_bits[7], nullptr);
    EXPECT_EQ(MAV_GetCurrentImage(), 7);
    EXPECT_EQ(MAV_GetImageWidth(7), 0);
}

TEST_F(ImageWindows, CreateRequestServedOnTheUserThread) {
    register_image_requests();
    RequestSlot& s = request_slot();
    s.index = 3;
    s.name = "003";
    s.x = s.y = -1;
    s.width = 256;
    s.height = 32;
    s.zoom = 100;
    s.bits = 8;
    s.code = kReqCreateImage;
    ui_.run([] { serve_request(); });
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(MAV_GetImageBits(3), 8);
    EXPECT_EQ(MAV_GetCurrentImage(), 3);
    EXPECT_EQ(caption(3), "003(100%)[8bit]");
}

TEST_F(ImageWindows, PointPickTakesClicksOfItsWindowInImagePixels) {
    ASSERT_EQ(create(0, "pick", 200, 150, 200, 32, 10, 10), 0);
    ASSERT_EQ(create(1, "other", 200, 150, 100, 32, 600, 10), 0);
    PointPick& pick = point_pick();
    pick.image = 0;
    pick.clicked = pick.moved = pick.cancelled = 0;
    pick.active = 1;
    plat::Point o = plat::client_origin(image_record(0).hwnd);
    plat::driver::move_mouse(o.translated(41, 21));
    plat::driver::click(o.translated(41, 21));
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(pick.clicked.load(), 1);
    EXPECT_EQ(pick.click_x.load(), 20);  // zoom 200: client 41 is pixel 20
    EXPECT_EQ(pick.click_y.load(), 10);
    EXPECT_EQ(pick.moved.load(), 1);
    // A right press in another image window does not cancel this pick.
    plat::driver::click(plat::client_origin(image_record(1).hwnd).translated(5, 5), plat::MouseButton::Right);
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(pick.cancelled.load(), 0);
    plat::driver::click(o.translated(5, 5), plat::MouseButton::Right);
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(pick.cancelled.load(), 1);
    pick.active = 0;
    pick.image = -1;
}

TEST_F(ImageWindows, MouseStateIsRecordedOnlyWhenAskedFor) {
    ASSERT_EQ(create(0, "m", 200, 150, 100, 32, 10, 10), 0);
    plat::Point o = plat::client_origin(image_record(0).hwnd);
    mav_mouse = 0;
    mav_mouse_image = -1;
    plat::driver::move_mouse(o.translated(7, 9));
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(mav_mouse_image, -1);
    mav_mouse = 1;
    plat::driver::hold_key(plat::key::Shift);
    plat::driver::press_button(o.translated(12, 13));
    plat::driver::release_key(plat::key::Shift);
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(mav_mouse_image, 0);
    EXPECT_EQ(mav_mouse_x, 12);
    EXPECT_EQ(mav_mouse_y, 13);
    EXPECT_EQ(mav_mouse_left, 1);
    EXPECT_EQ(mav_mouse_shift, 1);
    plat::driver::release_button(o.translated(12, 13));
    plat::driver::move_mouse(o.translated(14, 15));
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(mav_mouse_left, 0);
    mav_mouse = 0;
}

TEST_F(ImageWindows, SmoothModeAveragesWhenShrunk) {
    ASSERT_EQ(create(0, "half", 400, 300, 50, 32, 10, 10), 0);
    auto* px = static_cast<std::uint32_t*>(mav_bits[0]);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) px[y * 400 + x] = ((x + y) % 2) ? 0xFFFFFF : 0x000000;
    plat::Hwnd h = image_record(0).hwnd;
    plat::Point o = plat::client_origin(h);
    plat::Point wo = plat::window_rect(h).top_left();
    ui_.run([] { MAV_Refresh(0); });
    plat::Surface plain = plat::capture_window_pixels(h);
    plat::Color p = plain.pixel(o.x - wo.x + 10, o.y - wo.y + 10);
    EXPECT_TRUE(p == 0xFFFFFFu || p == 0u);  // plain drops pixels
    ui_.run([] {
        MAV_SetStretchMode(0, 4);
        MAV_Refresh(0);
    });
    plat::Surface smooth = plat::capture_window_pixels(h);
    EXPECT_EQ(smooth.pixel(o.x - wo.x + 10, o.y - wo.y + 10), 0x808080u);  // a checker averages to grey
}
