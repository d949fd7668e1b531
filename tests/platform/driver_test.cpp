// The driver as tests and scripts see it: waiting for idle queues, and what
// the screen shows.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "plat/driver/driver.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"

using namespace plat;
using testsupport::wait_until;

namespace {

constexpr Color kRed = 0xC00000;
constexpr Color kBlue = 0x0000C0;
constexpr Color kGreen = 0x00A000;

class Driver : public ::testing::Test {
protected:
    void TearDown() override {
        release = true;
        ui.run([this] {
            for (Hwnd h : windows) destroy_window(h);
        });
        driver::wait_idle();
    }

    // A frameless window filled with `bg`, on the UI thread.
    Hwnd make(const char* cls, Color bg, Rect r) {
        Hwnd h = ui.run([&] {
            if (!class_registered(cls)) {
                WindowClass c;
                c.name = cls;
                c.background = bg;
                register_class(c);
            }
            CreateParams p;
            p.class_name = cls;
            p.style = style::Visible;
            p.rect = r;
            return create_window(p);
        });
        windows.push_back(h);
        return h;
    }

    std::atomic<bool> started{false};
    std::atomic<bool> release{false};
    testsupport::UiThread ui;
    std::vector<Hwnd> windows;
};

double elapsed_ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

TEST_F(Driver, WaitIdleReturnsSoonWhenNothingIsPending) {
    make("driver_test_red", kRed, {10, 10, 60, 60});
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(driver::wait_idle(2000));
    EXPECT_LT(elapsed_ms(t0), 500);
    t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(driver::wait_idle(2000));  // and again, with nothing new
    EXPECT_LT(elapsed_ms(t0), 500);
}

TEST_F(Driver, WaitIdleTimesOutWhileAHandlerIsBusy) {
    Hwnd h = make("driver_test_busy", kRed, {10, 10, 60, 60});
    ui.run([this, h] {
        set_window_proc(h, [this](Message& m) {
            if (m.kind != MsgKind::User) return false;
            started = true;
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return true;
        });
    });
    ASSERT_TRUE(driver::wait_idle());
    Message m;
    m.window = h;
    m.kind = MsgKind::User;
    ASSERT_TRUE(post_message(m));
    ASSERT_TRUE(wait_until([this] { return started.load(); }));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(driver::wait_idle(300));
    double waited = elapsed_ms(t0);
    EXPECT_GE(waited, 290);
    EXPECT_LT(waited, 1000);
    release = true;
    EXPECT_TRUE(driver::wait_idle(2000));
}

TEST_F(Driver, WaitIdleWaitsForPostedWorkToFinish) {
    Hwnd h = make("driver_test_slow", kRed, {10, 10, 60, 60});
    std::atomic<int> handled{0};
    ui.run([h, &handled] {
        set_window_proc(h, [&handled](Message& m) {
            if (m.kind != MsgKind::User) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            ++handled;
            return true;
        });
    });
    Message m;
    m.window = h;
    m.kind = MsgKind::User;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(post_message(m));
    EXPECT_TRUE(driver::wait_idle(2000));
    EXPECT_EQ(handled, 3);
    ui.run([h] { set_window_proc(h, nullptr); });
}

// A thread that made a window, had messages posted to it and destroyed it
// without pumping them: nothing is left to do for anyone, so the driver is idle.
TEST_F(Driver, MessagesOfDestroyedWindowsDoNotHoldUpWaitIdle) {
    std::promise<void> made, finish;
    std::thread owner([&] {
        if (!class_registered("driver_test_plain")) {
            WindowClass c;
            c.name = "driver_test_plain";
            register_class(c);
        }
        CreateParams p;
        p.class_name = "driver_test_plain";
        p.style = style::Overlapped | style::Visible;
        p.rect = {700, 100, 800, 200};
        Hwnd h = create_window(p);
        set_foreground(h);  // posts activation and focus messages to h
        Message m;
        m.window = h;
        m.kind = MsgKind::User;
        post_message(m);
        destroy_window(h);
        made.set_value();
        finish.get_future().wait();  // alive, but never pumps again
    });
    made.get_future().wait();
    EXPECT_TRUE(driver::wait_idle(1000));
    finish.set_value();
    owner.join();
}

TEST_F(Driver, CaptureScreenComposesWindowsInZOrder) {
    Hwnd a = make("driver_test_red", kRed, {100, 100, 300, 300});
    Hwnd b = make("driver_test_blue", kBlue, {200, 200, 400, 400});
    Hwnd c = make("driver_test_green", kGreen, {-50, -40, 50, 60});  // partly off screen
    ASSERT_TRUE(driver::wait_idle());

    Surface s = driver::capture_screen();
    ASSERT_EQ(s.size(), screen_size());
    Color desktop = s.pixel(1000, 700);
    EXPECT_NE(desktop, kRed);
    EXPECT_NE(desktop, kBlue);
    EXPECT_EQ(s.pixel(150, 150), kRed);
    EXPECT_EQ(s.pixel(250, 250), kBlue);  // b is above a
    EXPECT_EQ(s.pixel(350, 350), kBlue);
    EXPECT_EQ(s.pixel(350, 150), desktop);
    EXPECT_EQ(s.pixel(150, 350), desktop);
    EXPECT_EQ(s.pixel(0, 0), kGreen);
    EXPECT_EQ(s.pixel(49, 59), kGreen);
    EXPECT_EQ(s.pixel(50, 60), desktop);

    set_foreground(a);
    s = driver::capture_screen();
    EXPECT_EQ(s.pixel(250, 250), kRed);
    EXPECT_EQ(s.pixel(350, 350), kBlue);

    ui.run([a] { show_window(a, false); });
    ASSERT_TRUE(driver::wait_idle());
    s = driver::capture_screen();
    EXPECT_EQ(s.pixel(150, 150), desktop);
    EXPECT_EQ(s.pixel(250, 250), kBlue);
    (void)c;
    (void)b;
}
