// The request slot between the window thread (posters, here the test thread)
// and the user thread (a server thread here).
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "plat/base/clock.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"

using namespace mav;

namespace {

std::mutex g_mutex;
std::vector<std::string> g_served;

void record(const std::string& what) {
    std::lock_guard lock(g_mutex);
    g_served.push_back(what);
}

// Serves requests like the user thread's idle loop, unless paused.
class Server {
public:
    Server() {
        thread_ = std::thread([this] {
            while (!quit_) {
                plat::sleep_ms(1);
                if (!paused_ && request_slot().code.load() != 0) serve_request();
            }
        });
    }
    ~Server() {
        quit_ = true;
        thread_.join();
    }
    std::atomic<bool> paused_{false};

private:
    std::atomic<bool> quit_{false};
    std::thread thread_;
};

class Mailbox : public ::testing::Test {
protected:
    void SetUp() override {
        g_served.clear();
        frame().quit_state = kQuitRunning;
        for (int c = kReqCreateImage; c <= kReqButtonBox; ++c) set_request_handler(c, nullptr);
    }
    void TearDown() override {
        frame().quit_state = kQuitRunning;
        for (int c = kReqCreateImage; c <= kReqButtonBox; ++c) set_request_handler(c, nullptr);
    }
};

}  // namespace

TEST_F(Mailbox, CreateImagePassesItsFieldsAndReturnsTheResult) {
    set_request_handler(kReqCreateImage, [](RequestSlot& s) {
        record(std::string(s.name) + " " + std::to_string(s.index) + " " + std::to_string(s.width) + "x" +
               std::to_string(s.height) + " " + std::to_string(s.bits) + " x=" + std::to_string(s.x) +
               " zoom=" + std::to_string(s.zoom));
        s.result = s.index == 5 ? 1 : 0;
    });
    Server server;
    EXPECT_EQ(post_create_image(4, "004 a.png", 64, 48, 32), 0);
    EXPECT_EQ(post_create_image(5, "005", 8, 8, 8), 1);
    EXPECT_EQ(post_create_image(256, "256", 8, 8, 32), 4);  // no such slot, handler not called
    ASSERT_EQ(g_served.size(), 2u);
    EXPECT_EQ(g_served[0], "004 a.png 4 64x48 32 x=-1 zoom=100");
    EXPECT_EQ(request_slot().code.load(), 0);
}

TEST_F(Mailbox, CodesWithoutTargetAreServedAsNoOps) {
    // Until their windows exist, 9001 and 9003 answer a failure so that no
    // caller believes an image window was made or loaded.
    Server server;
    EXPECT_EQ(post_create_image(0, "000", 8, 8, 32), kRequestUnavailable);
    EXPECT_EQ(post_load_image(0, "/nonexistent.png"), kRequestUnavailable);
    post_open_text(0);
    post_input_box(5);
    post_button_box(2, 3);
    EXPECT_EQ(request_slot().code.load(), 0);
    EXPECT_EQ(request_slot().done.load(), 1);
}

TEST_F(Mailbox, DrawBitmapThenRefreshAreServedInOrder) {
    set_request_handler(kReqDrawBitmap, [](RequestSlot&) {
        plat::sleep_ms(20);  // slower than the refresh poster
        record("9004");
    });
    set_request_handler(kReqRefresh, [](RequestSlot& s) { record("9002 " + std::to_string(s.index)); });
    set_request_handler(kReqInputBox, [](RequestSlot& s) { record("9006 " + std::to_string(s.index)); });
    Server server;
    int bitmap = 0;
    post_draw_bitmap(&bitmap);
    post_refresh(3);
    post_input_box(5);  // waits for the refresh to leave the slot
    ASSERT_EQ(g_served.size(), 3u);
    EXPECT_EQ(g_served[0], "9004");
    EXPECT_EQ(g_served[1], "9002 3");
    EXPECT_EQ(g_served[2], "9006 5");
}

TEST_F(Mailbox, RefreshIsNotAwaited) {
    set_request_handler(kReqRefresh, [](RequestSlot&) { record("9002"); });
    Server server;
    server.paused_ = true;
    post_refresh(1);  // returns although nobody serves
    EXPECT_EQ(request_slot().code.load(), kReqRefresh);
    EXPECT_TRUE(g_served.empty());
    server.paused_ = false;
    post_input_box(2);
    EXPECT_EQ(g_served.front(), "9002");
}

TEST_F(Mailbox, PosterKeepsDispatchingItsOwnMessagesWhileItWaits) {
    // The user thread is busy (a running program) for a while; the poster
    // blocks, yet messages for its own windows keep being handled.
    static std::atomic<int> handled{0};
    handled = 0;
    plat::WindowClass cls;
    cls.name = "mailbox_probe";
    cls.proc = [](plat::Message& m) {
        if (m.kind == plat::MsgKind::User) handled++;
        return m.kind == plat::MsgKind::User;
    };
    plat::register_class(cls);
    plat::CreateParams p;
    p.class_name = "mailbox_probe";
    p.style = 0;
    p.rect = {0, 0, 1, 1};
    plat::Hwnd probe = plat::create_window(p);
    set_request_handler(kReqOpenText, [](RequestSlot&) { record("9005"); });
    Server server;
    server.paused_ = true;
    std::thread other([&] {
        plat::sleep_ms(30);
        plat::Message m;
        m.window = probe;
        m.kind = plat::MsgKind::User;
        plat::post_message(m);
        plat::sleep_ms(150);
        server.paused_ = false;  // the program's main function returned
    });
    double t0 = plat::monotonic_ms();
    post_open_text(3);
    double waited = plat::monotonic_ms() - t0;
    other.join();
    EXPECT_GE(waited, 150.0);
    EXPECT_EQ(handled.load(), 1);
    EXPECT_EQ(g_served, std::vector<std::string>{"9005"});
    plat::destroy_window(probe);
}

TEST_F(Mailbox, PosterStopsWaitingOnceTheProgramExits) {
    set_request_handler(kReqCreateImage, [](RequestSlot& s) { s.result = 0; });
    std::thread exiter([] {
        plat::sleep_ms(50);
        frame().quit_state = kQuitRequested;
    });
    // No server: the request is never carried out.
    double t0 = plat::monotonic_ms();
    EXPECT_EQ(post_create_image(0, "000", 8, 8, 32), kRequestAbandoned);
    EXPECT_LT(plat::monotonic_ms() - t0, 2000.0);
    // A later post while the slot is still taken gives up at once.
    EXPECT_EQ(post_create_image(1, "001", 8, 8, 32), kRequestAbandoned);
    exiter.join();
    request_slot().code = 0;
    request_slot().done = 1;
}

TEST_F(Mailbox, OpenTextOnAnOpenWindowOnlyRaisesIt) {
    plat::WindowClass cls;
    cls.name = "fake_text_window";
    plat::register_class(cls);
    plat::CreateParams p;
    p.class_name = "fake_text_window";
    p.style = plat::style::Overlapped | plat::style::Visible;
    p.rect = {0, 0, 50, 50};
    plat::Hwnd tw = plat::create_window(p);
    p.rect = {10, 10, 60, 60};
    plat::Hwnd other = plat::create_window(p);
    windows().text[2] = tw.id;
    set_request_handler(kReqOpenText, [](RequestSlot&) { record("9005"); });
    // Nobody serves: a post would block, so returning at all shows none was made.
    post_open_text(2);
    EXPECT_TRUE(g_served.empty());
    EXPECT_EQ(plat::top_level_windows().back(), tw);
    windows().text[2] = 0;
    plat::destroy_window(tw);
    plat::destroy_window(other);
}
