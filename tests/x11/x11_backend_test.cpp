// The x11 backend in this process, on an Xvfb of the test's own: windows as
// the core composes them, the refresh rate, input from XTEST, the screen.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "x11_backend.h"
#include "plat/ui/controls.h"
#include "plat/driver/driver.h"
#include "plat/core/input.h"
#include "plat/core/keys.h"
#include "plat/core/metrics.h"
#include "plat/platform.h"
#include "plat/core/window.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"
#include "x11/x11_fixture.h"

using namespace plat;
using testsupport::Recorder;
using testsupport::UiThread;

namespace {

void register_painted(const char* name, Color bg) {
    if (class_registered(name)) return;
    WindowClass c;
    c.name = name;
    c.background = bg;
    register_class(c);
}

Hwnd make(UiThread& ui, const char* cls, Rect r, std::uint32_t st, const std::string& title = "Window") {
    return ui.run([&] {
        CreateParams p;
        p.class_name = cls;
        p.title = title;
        p.style = st;
        p.rect = r;
        return create_window(p);
    });
}

// Binds each keysym to a key that has none.
void bind_spare_keys(xtest::Conn& c, std::vector<KeySym> keysyms) {
    int min = 0, max = 0, per = 0;
    XDisplayKeycodes(c.d(), &min, &max);
    KeySym* map = XGetKeyboardMapping(c.d(), KeyCode(min), max - min + 1, &per);
    for (int code = max; code >= min && !keysyms.empty(); --code) {
        bool spare = true;
        for (int i = 0; i < per; ++i)
            if (map[(code - min) * per + i] != NoSymbol) spare = false;
        if (!spare) continue;
        KeySym both[2] = {keysyms.back(), keysyms.back()};
        XChangeKeyboardMapping(c.d(), code, 2, both, 1);
        keysyms.pop_back();
    }
    XFree(map);
    XSync(c.d(), False);
}

}  // namespace

using X11Screen = xtest::X11Fixture;

TEST_F(X11Screen, ScreenSizeDepthAndWorkAreaComeFromTheDisplay) {
    EXPECT_FALSE(is_headless());
    EXPECT_EQ(screen_size(), (Size{1920, 1080}));
    EXPECT_EQ(screen_depth(), 32);
    EXPECT_EQ(work_area(), (Rect{0, 0, 1920, 1080}));
    // A window manager's panels: _NET_WORKAREA on the root window.
    long area[4] = {0, 30, 1920, 1010};
    XChangeProperty(conn().d(), conn().root(), conn().atom("_NET_WORKAREA"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(area), 4);
    XSync(conn().d(), False);
    EXPECT_TRUE(xtest::wait_for([] { return work_area() == Rect{0, 30, 1920, 1040}; }, 3000));
}

TEST_F(X11Screen, WindowsShowWhereAndAsTheCoreComposesThem) {
    UiThread ui;
    register_painted("x11_red", 0xC03020);
    register_painted("x11_green", 0x20A040);
    register_painted("x11_popup", 0xF0F0E0);
    Hwnd a = make(ui, "x11_red", Rect::from_xywh(100, 120, 400, 300), style::Overlapped | style::Visible,
                  "Tëst 日本");
    ui.run([&] { create_label(a, Rect::from_xywh(10, 10, 200, 20), "a label", 7); });
    Hwnd b = make(ui, "x11_green", Rect::from_xywh(300, 250, 300, 200), style::Overlapped | style::Visible);
    Hwnd menu = make(ui, "x11_popup", Rect::from_xywh(520, 180, 120, 90),
                     style::ThinBorder | style::TopMost | style::NoActivate | style::Visible);
    ASSERT_TRUE(a && b && menu);
    std::string why;
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(xtest::screen_becomes(conn(), driver::capture_screen(), 5000, why, failure_png("first")))
        << why;

    // Captioned windows are managed but undecorated; the menu bypasses any manager.
    Window xa = conn().find_titled("Tëst 日本");
    ASSERT_NE(xa, 0u);
    EXPECT_FALSE(conn().override_redirect(xa));
    EXPECT_EQ(conn().geometry(xa), window_rect(a));
    std::vector<Window> tops = conn().top_windows();
    ASSERT_EQ(tops.size(), 3u);
    EXPECT_TRUE(conn().override_redirect(tops.back()));  // the topmost one is the menu
    EXPECT_EQ(conn().geometry(tops.back()), window_rect(menu));

    // Raise, move, resize and hide: the screen follows.
    ui.run([&] {
        set_foreground(a);
        set_window_rect(a, Rect::from_xywh(150, 200, 500, 260));
        show_window(b, false);
        set_window_text(a, "Renamed");
    });
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(xtest::screen_becomes(conn(), driver::capture_screen(), 5000, why, failure_png("second")))
        << why;
    EXPECT_NE(conn().find_titled("Renamed"), 0u);

    ui.run([&] {
        show_window(b, true);
        set_foreground(b);
        destroy_window(menu);
    });
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(xtest::screen_becomes(conn(), driver::capture_screen(), 5000, why, failure_png("third")))
        << why;
    EXPECT_EQ(conn().top_windows().size(), 2u);
    ui.run([&] {
        destroy_window(a);
        destroy_window(b);
    });
}

// A program refreshing an 800 x 480 window every frame, with shared memory
// and with XPutImage. How fast that goes is measured in bench/bench_present.cpp.
class X11Refresh : public xtest::X11Fixture, public ::testing::WithParamInterface<bool> {
protected:
    bool shared_memory() const override { return GetParam(); }
};

TEST_P(X11Refresh, BackToBackFramesOf800x480AreMergedAndTheLastIsShown) {
    UiThread ui;
    register_painted("x11_frames", 0);
    Rect wr = adjust_window_rect({0, 0, 800, 480}, style::Overlapped, false);
    Hwnd h = make(ui, "x11_frames", wr.translated(200 - wr.left, 150 - wr.top), style::Overlapped | style::Visible);
    ASSERT_TRUE(h);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(detail::x11_stats().shared_memory, GetParam());
    // The window shows through shared memory when there is any.
    const int want_shm = GetParam() ? 1 : 0;
    EXPECT_TRUE(xtest::wait_for([&] { return detail::x11_stats().shm_windows == want_shm; }, 3000));

    // Frames as fast as the program can draw them: the display thread takes
    // whatever is newest when it gets round to the window.
    constexpr int kFrames = 120;
    std::uint64_t presents_before = detail::x11_stats().presents;
    std::uint64_t changes_before = detail::x11_stats().changes;
    Color last = 0;
    for (int i = 0; i < kFrames; ++i) {
        last = rgb(i * 2, 255 - i * 2, (i * 37) & 0xFF);
        WindowDc dc(h);
        ASSERT_TRUE(dc.valid());
        dc->fill_rect({0, 0, 800, 480}, last);
    }  // each frame unlocks and tells the backend
    EXPECT_GE(detail::x11_stats().changes - changes_before, std::uint64_t(kFrames));

    // The last frame reaches the screen.
    Point inside = client_origin(h).translated(400, 240);
    EXPECT_TRUE(xtest::wait_for(
        [&] {
            XImage* img = XGetImage(conn().d(), conn().root(), inside.x, inside.y, 1, 1, AllPlanes, ZPixmap);
            if (!img) return false;
            Color c = Color(XGetPixel(img, 0, 0)) & 0xFFFFFF;
            XDestroyImage(img);
            return c == last;
        },
        3000));
    // Showing it took at least one image; a burst never takes more images
    // than frames drawn.
    std::uint64_t presents = detail::x11_stats().presents - presents_before;
    RecordProperty("presents", int(presents));
    EXPECT_GE(presents, 1u);
    EXPECT_LE(presents, std::uint64_t(kFrames));
    ui.run([&] { destroy_window(h); });
}

INSTANTIATE_TEST_SUITE_P(Presentation, X11Refresh, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "SharedMemory" : "PutImage"; });

// ---- input through XTEST, as a person's devices give it

using X11Input = xtest::X11Fixture;

TEST_F(X11Input, PointerButtonsWheelAndKeysReachTheWindow) {
    UiThread ui;
    register_painted("x11_input", 0x808080);
    Recorder rec({MsgKind::LButtonDown, MsgKind::LButtonUp, MsgKind::RButtonDown, MsgKind::MouseWheel,
                  MsgKind::KeyDown, MsgKind::Char, MsgKind::MouseMove});
    Hwnd h = make(ui, "x11_input", Rect::from_xywh(300, 300, 400, 300), style::Overlapped | style::Visible);
    ASSERT_TRUE(h);
    ui.run([&] {
        set_window_proc(h, [&rec](Message& m) {
            rec.add(m);
            return false;
        });
    });
    ASSERT_TRUE(driver::wait_idle());
    Point o = client_origin(h);
    Point p = o.translated(50, 60);
    auto xdo = [&](std::vector<std::string> args) { return xtest::tool(display(), "xdotool", args).exit_code; };
    ASSERT_EQ(xdo({"mousemove", std::to_string(p.x), std::to_string(p.y), "click", "1"}), 0);
    ASSERT_TRUE(xtest::wait_for([&] { return !rec.of(MsgKind::LButtonUp).empty(); }, 3000));
    Message down = rec.of(MsgKind::LButtonDown).at(0);
    EXPECT_EQ(down.pos, (Point{50, 60}));
    EXPECT_EQ(down.screen_pos, p);
    EXPECT_EQ(active_window(), h);

    ASSERT_EQ(xdo({"click", "3", "click", "4", "click", "5"}), 0);
    ASSERT_TRUE(xtest::wait_for([&] { return rec.of(MsgKind::MouseWheel).size() == 2; }, 3000));
    EXPECT_EQ(rec.of(MsgKind::RButtonDown).size(), 1u);
    EXPECT_EQ(rec.of(MsgKind::MouseWheel)[0].wheel, 120);
    EXPECT_EQ(rec.of(MsgKind::MouseWheel)[1].wheel, -120);

    // Keys with modifiers; the clicked window has the keyboard.
    rec.clear();
    ASSERT_EQ(xdo({"key", "ctrl+v", "F5", "Escape"}), 0);
    ASSERT_TRUE(xtest::wait_for([&] { return rec.of(MsgKind::KeyDown).size() >= 4; }, 3000));
    std::vector<Message> keys = rec.of(MsgKind::KeyDown);
    EXPECT_EQ(keys[0].key, key::Control);
    EXPECT_EQ(keys[1].key, 'V');
    EXPECT_TRUE(keys[1].ctrl);
    EXPECT_EQ(keys[2].key, key::F1 + 4);
    EXPECT_FALSE(keys[2].ctrl);
    EXPECT_EQ(keys[3].key, key::Escape);

    // Text through the keyboard mapping: every character once, none doubled.
    // Keys for the non-ASCII ones are bound beforehand: xdotool would bind a
    // spare key for each and unbind it at once, before a busy reader has
    // looked the key up.
    bind_spare_keys(conn(), {XK_eacute, 0x10065E5});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    rec.clear();
    ASSERT_EQ(xdo({"type", "--delay", "20", "Ab1! é日"}), 0);
    std::u32string want = U"Ab1! \u00E9\u65E5";
    auto typed = [&] {
        std::u32string s;
        for (const Message& m : rec.of(MsgKind::Char))
            if (m.ch >= 0x20) s += m.ch;
        return s;
    };
    EXPECT_TRUE(xtest::wait_for([&] { return typed().size() >= want.size(); }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(typed(), want);
    std::vector<Message> presses = rec.of(MsgKind::KeyDown);
    EXPECT_TRUE(std::any_of(presses.begin(), presses.end(), [](const Message& m) { return m.key == 'A' && m.shift; }));
    ui.run([&] { destroy_window(h); });
}

TEST_F(X11Input, CapturedMouseGetsPressesOutsideOurWindows) {
    UiThread ui;
    register_painted("x11_capture", 0x4040C0);
    Recorder rec({MsgKind::LButtonDown});
    Hwnd h = make(ui, "x11_capture", Rect::from_xywh(100, 100, 200, 150), style::Overlapped | style::Visible);
    ASSERT_TRUE(h);
    ui.run([&] {
        set_window_proc(h, [&rec](Message& m) {
            rec.add(m);
            return false;
        });
        set_capture(h);
    });
    ASSERT_TRUE(driver::wait_idle());
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the grab follows the capture
    ASSERT_EQ(xtest::tool(display(), "xdotool", {"mousemove", "1500", "900", "click", "1"}).exit_code, 0);
    ASSERT_TRUE(xtest::wait_for([&] { return !rec.of(MsgKind::LButtonDown).empty(); }, 3000));
    EXPECT_EQ(rec.of(MsgKind::LButtonDown)[0].screen_pos, (Point{1500, 900}));
    ui.run([&] {
        release_capture();
        destroy_window(h);
    });
}

TEST_F(X11Input, AWindowManagersCloseRequestIsAClose) {
    UiThread ui;
    register_painted("x11_close", 0x606060);
    Recorder rec({MsgKind::Close});
    Hwnd h = make(ui, "x11_close", Rect::from_xywh(200, 200, 300, 200), style::Overlapped | style::Visible,
                  "Close me");
    ASSERT_TRUE(h);
    ui.run([&] {
        set_window_proc(h, [&rec](Message& m) {
            rec.add(m);
            return m.kind == MsgKind::Close;  // kept open: the test looks at it
        });
    });
    Window xw = 0;
    ASSERT_TRUE(xtest::wait_for([&] { return (xw = conn().find_titled("Close me")) != 0; }, 3000));
    XClientMessageEvent m{};
    m.type = ClientMessage;
    m.window = xw;
    m.message_type = conn().atom("WM_PROTOCOLS");
    m.format = 32;
    m.data.l[0] = long(conn().atom("WM_DELETE_WINDOW"));
    m.data.l[1] = CurrentTime;
    XSendEvent(conn().d(), xw, False, NoEventMask, reinterpret_cast<XEvent*>(&m));
    XFlush(conn().d());
    EXPECT_TRUE(xtest::wait_for([&] { return rec.of(MsgKind::Close).size() == 1; }, 3000));
    ui.run([&] { destroy_window(h); });
    EXPECT_TRUE(xtest::wait_for([&] { return conn().find_titled("Close me") == 0; }, 3000));
}

TEST(X11Display, ADisplayThatCannotBeOpenedIsAClearError) {
    setenv("DISPLAY", ":59999", 1);
    PlatformOptions o;
    o.headless = false;
    std::string error;
    EXPECT_FALSE(init_platform(o, error));
    EXPECT_NE(error.find("cannot open display ':59999'"), std::string::npos) << error;
    EXPECT_NE(error.find("--headless"), std::string::npos) << error;
    EXPECT_FALSE(platform_ready());
}
