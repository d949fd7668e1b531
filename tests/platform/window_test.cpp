// Windows and queues: creation, geometry, frames, z-order, painting and
// message order across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "plat/ui/controls.h"
#include "plat/driver/driver.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "support/ui_thread.h"

using namespace plat;

namespace {

void register_plain(const char* name, Color bg, WindowProc proc = nullptr) {
    if (class_registered(name)) return;
    WindowClass c;
    c.name = name;
    c.background = bg;
    c.proc = std::move(proc);
    ASSERT_TRUE(register_class(c));
}

Hwnd make_window(const char* cls, Rect r, std::uint32_t st = style::Overlapped | style::Visible) {
    CreateParams p;
    p.class_name = cls;
    p.title = "Test";
    p.style = st;
    p.rect = r;
    return create_window(p);
}

}  // namespace

TEST(WindowCore, CreateRefusesUnknownClassAndHonoursCreateResult) {
    EXPECT_FALSE(make_window("no_such_class", {0, 0, 100, 100}));
    register_plain("refusing", 0, [](Message& m) {
        if (m.kind == MsgKind::Create) {
            m.result = -1;
            return true;
        }
        return false;
    });
    EXPECT_FALSE(make_window("refusing", {0, 0, 100, 100}));
    EXPECT_TRUE(top_level_windows().empty());
    EXPECT_FALSE(register_class({"refusing", nullptr, 0, true, false}));
}

TEST(WindowCore, ClientAreaAndAdjustAgree) {
    register_plain("plain", 0x112233);
    Rect client{0, 0, 240, 52};
    Rect wr = adjust_window_rect(client, style::Overlapped, true);
    Hwnd h = make_window("plain", wr.translated(100, 200));
    ASSERT_TRUE(h);
    set_menu_bar(h, Menu::create());
    EXPECT_EQ(client_rect(h), client);
    // The window was placed so that its client area starts at (100, 200).
    EXPECT_EQ(client_origin(h), (Point{100, 200}));
    const Metrics& m = metrics();
    EXPECT_EQ(window_rect(h).top, 200 - m.sizing_frame - m.caption_height - m.menu_bar_height);
    destroy_window(h);
    EXPECT_FALSE(is_window(h));
}

TEST(WindowCore, HitTestFindsEveryFramePart) {
    register_plain("plain", 0x112233);
    Hwnd h = make_window("plain", {100, 100, 400, 300});
    const Metrics& m = metrics();
    int f = m.sizing_frame;
    EXPECT_EQ(hit_test(h, {250, 100 + f + 5}), Hit::Caption);
    EXPECT_EQ(hit_test(h, {400 - f - 2 - 8, 100 + f + m.caption_height / 2}), Hit::CloseBox);
    EXPECT_EQ(hit_test(h, {250, 200}), Hit::Client);
    EXPECT_EQ(hit_test(h, {100, 200}), Hit::Left);
    EXPECT_EQ(hit_test(h, {399, 200}), Hit::Right);
    EXPECT_EQ(hit_test(h, {250, 299}), Hit::Bottom);
    EXPECT_EQ(hit_test(h, {250, 100}), Hit::Top);
    EXPECT_EQ(hit_test(h, {100, 100}), Hit::TopLeft);
    EXPECT_EQ(hit_test(h, {399, 299}), Hit::BottomRight);
    EXPECT_EQ(hit_test(h, {400, 200}), Hit::Nowhere);  // right edge is outside
    destroy_window(h);
}

TEST(WindowCore, ClickRaisesAndActivates) {
    register_plain("plain", 0x112233);
    testsupport::UiThread ui;
    Hwnd a = ui.run([] { return make_window("plain", {0, 0, 200, 200}); });
    Hwnd b = ui.run([] { return make_window("plain", {100, 100, 300, 300}); });
    EXPECT_EQ(top_level_windows().back(), b);
    EXPECT_EQ(window_at({150, 150}), b);
    driver::click({50, 50});  // only `a` is there
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(top_level_windows().back(), a);
    EXPECT_EQ(active_window(), a);
    EXPECT_EQ(window_at({150, 150}), a);
    ui.run([&] {
        destroy_window(a);
        destroy_window(b);
    });
}

TEST(WindowCore, TopMostWindowsStayAbove) {
    register_plain("plain", 0x112233);
    Hwnd top = make_window("plain", {0, 0, 50, 50}, style::Visible | style::TopMost);
    Hwnd normal = make_window("plain", {0, 0, 50, 50});
    set_foreground(normal);
    EXPECT_EQ(top_level_windows().back(), top);
    destroy_window(normal);
    destroy_window(top);
}

TEST(WindowCore, MessagesFromManyThreadsKeepEachSendersOrder) {
    std::vector<std::pair<int, int>> seen;
    register_plain("recorder", 0, [&seen](Message& m) {
        if (m.kind == MsgKind::User) seen.emplace_back(int(m.param >> 16), int(m.param & 0xFFFF));
        return m.kind == MsgKind::User;
    });
    Hwnd h = make_window("recorder", {0, 0, 10, 10}, 0);
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([=] {
            for (int i = 0; i < kEach; ++i) {
                Message m;
                m.window = h;
                m.kind = MsgKind::User;
                m.param = (std::intptr_t(t) << 16) | i;
                post_message(m);
            }
        });
    for (auto& p : posters) p.join();
    Message m;
    while (peek_message(m)) dispatch_message(m);
    ASSERT_EQ(seen.size(), std::size_t(kThreads * kEach));
    std::vector<int> next(kThreads, 0);
    for (auto [t, i] : seen) EXPECT_EQ(i, next[t]++);
    destroy_window(h);
}

TEST(WindowCore, PostToDestroyedWindowFailsAndQuitEndsTheLoop) {
    register_plain("plain", 0x112233);
    Hwnd h = make_window("plain", {0, 0, 10, 10}, 0);
    destroy_window(h);
    Message m;
    m.window = h;
    m.kind = MsgKind::User;
    EXPECT_FALSE(post_message(m));
    post_quit_message(7);
    Message got;
    EXPECT_FALSE(get_message(got));
    EXPECT_EQ(got.kind, MsgKind::Quit);
    EXPECT_EQ(got.param, 7);
}

TEST(WindowCore, PaintFillsBackgroundAndChildrenComposeOnTop) {
    register_plain("painted", 0x00FF00, [](Message& m) {
        if (m.kind != MsgKind::Paint) return false;
        m.dc->fill_rect({0, 0, 5, 5}, 0xFF0000);
        return true;
    });
    Hwnd h = make_window("painted", {0, 0, 100, 80});
    Hwnd label = create_label(h, {20, 20, 80, 40}, "Hi", 7);
    ASSERT_TRUE(label);
    EXPECT_EQ(child_by_id(h, 7), label);
    Message m;
    while (peek_message(m)) dispatch_message(m);
    Surface pix = capture_window_pixels(h);
    Point o = client_origin(h);
    EXPECT_EQ(pix.pixel(o.x + 2, o.y + 2), 0xFF0000u);   // drawn by the procedure
    EXPECT_EQ(pix.pixel(o.x + 10, o.y + 10), 0x00FF00u);  // class background
    EXPECT_EQ(pix.pixel(o.x + 75, o.y + 35), 0xD4D0C8u);  // the label's face
    // The label's text has black pixels somewhere in its first cell.
    bool ink = false;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) ink |= pix.pixel(o.x + 20 + x, o.y + 20 + y) == 0;
    EXPECT_TRUE(ink);
    destroy_window(h);
    EXPECT_FALSE(is_window(label));
}

TEST(WindowCore, DestroyFromAnotherThreadIsCarriedOutByTheOwner) {
    register_plain("plain", 0x112233);
    std::atomic<bool> destroyed{false};
    register_plain("watched", 0, [&](Message& m) {
        if (m.kind == MsgKind::Destroy) destroyed = owned_by_current_thread(m.window);
        return false;
    });
    testsupport::UiThread ui;
    Hwnd h = ui.run([] { return make_window("watched", {0, 0, 10, 10}); });
    destroy_window(h);  // from the test thread
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(is_window(h));
    EXPECT_TRUE(destroyed);
}
