// The decoration's modal loops, driven as a person would: dragging the caption,
// dragging borders, and the close box.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"

using namespace plat;
using testsupport::point_on;
using testsupport::Recorder;

namespace {

constexpr Rect kStart{200, 150, 500, 350};

class MoveSizeLoop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (class_registered("move_size_loop_test")) return;
        WindowClass c;
        c.name = "move_size_loop_test";
        register_class(c);
    }

    void TearDown() override {
        // Leave no button, key or capture behind for the next test.
        driver::release_key(key::Control);
        driver::release_button({5, 5});
        ui.run([this] {
            for (Hwnd h : windows) destroy_window(h);
        });
        release_capture();
        driver::wait_idle();
    }

    // A window on the UI thread whose messages go to `rec`, then to `extra`.
    Hwnd make(std::uint32_t st = style::Overlapped | style::Visible,
              std::function<bool(Message&)> extra = nullptr) {
        Hwnd h = ui.run([&] {
            CreateParams p;
            p.class_name = "move_size_loop_test";
            p.title = "Frame";
            p.style = st;
            p.rect = kStart;
            Hwnd w = create_window(p);
            set_window_proc(w, [rec = rec, extra](Message& m) {
                rec->add(m);
                return extra ? extra(m) : false;
            });
            return w;
        });
        windows.push_back(h);
        EXPECT_TRUE(driver::wait_idle());
        return h;
    }

    // Presses at `from`, moves by (dx, dy) and releases there.
    static void drag(Point from, int dx, int dy) {
        driver::press_button(from);
        ASSERT_TRUE(driver::wait_idle());
        driver::move_mouse(from.translated(dx, dy));
        ASSERT_TRUE(driver::wait_idle());
        driver::release_button(from.translated(dx, dy));
        ASSERT_TRUE(driver::wait_idle());
    }

    std::shared_ptr<Recorder> rec = std::make_shared<Recorder>(std::vector<MsgKind>{
        MsgKind::Moving, MsgKind::Move, MsgKind::Sizing, MsgKind::Size, MsgKind::Close});
    testsupport::UiThread ui;
    std::vector<Hwnd> windows;
};

// Index of the first message of `kind`, or -1.
int first_of(const std::vector<Message>& ms, MsgKind kind) {
    for (std::size_t i = 0; i < ms.size(); ++i)
        if (ms[i].kind == kind) return int(i);
    return -1;
}

}  // namespace

TEST_F(MoveSizeLoop, DraggingTheCaptionMovesByTheMouseDelta) {
    Hwnd h = make();
    Point grip = point_on(h, Hit::Caption);
    ASSERT_EQ(hit_test(h, grip), Hit::Caption);

    driver::press_button(grip);
    ASSERT_TRUE(driver::wait_idle());
    driver::move_mouse(grip.translated(10, 5));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(window_rect(h), kStart.translated(10, 5));  // follows while dragging
    driver::move_mouse(grip.translated(37, -23));
    driver::release_button(grip.translated(37, -23));
    ASSERT_TRUE(driver::wait_idle());

    Rect want = kStart.translated(37, -23);
    EXPECT_EQ(window_rect(h), want);
    auto all = rec->all();
    int moving = first_of(all, MsgKind::Moving);
    int move = first_of(all, MsgKind::Move);
    ASSERT_GE(moving, 0);
    ASSERT_GE(move, 0);
    EXPECT_LT(moving, move);
    EXPECT_EQ(all[std::size_t(moving)].rect, kStart.translated(10, 5));
    EXPECT_EQ(rec->of(MsgKind::Move).back().rect, want);
    EXPECT_TRUE(rec->of(MsgKind::Size).empty());
    EXPECT_TRUE(rec->of(MsgKind::Sizing).empty());

    // The loop has ended: moving the mouse over the window again moves nothing.
    driver::move_mouse(grip.translated(80, 0));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(window_rect(h), want);
}

TEST_F(MoveSizeLoop, MovingHandlerDecidesThePositionButNotTheSize) {
    Hwnd h = make(style::Overlapped | style::Visible, [](Message& m) {
        if (m.kind != MsgKind::Moving) return false;
        // Snap to a 10-pixel grid, and try (in vain) to shrink the window.
        m.rect = Rect::from_xywh(m.rect.left / 10 * 10, m.rect.top, 10, 10);
        return true;
    });
    Point grip = point_on(h, Hit::Caption);
    drag(grip, 37, 23);

    Rect want = Rect::from_xywh(230, kStart.top + 23, kStart.width(), kStart.height());
    EXPECT_EQ(window_rect(h), want);
    ASSERT_FALSE(rec->of(MsgKind::Move).empty());
    EXPECT_EQ(rec->of(MsgKind::Move).back().rect, want);
    EXPECT_EQ(rec->of(MsgKind::Moving).front().rect, kStart.translated(37, 23));
    EXPECT_TRUE(rec->of(MsgKind::Size).empty());
}

TEST_F(MoveSizeLoop, MovingCarriesCtrlWhileCtrlIsHeld) {
    Hwnd h = make();
    Point grip = point_on(h, Hit::Caption);
    drag(grip, 5, 0);
    ASSERT_FALSE(rec->of(MsgKind::Moving).empty());
    for (const Message& m : rec->of(MsgKind::Moving)) EXPECT_FALSE(m.ctrl);

    rec->clear();
    Point grip2 = grip.translated(5, 0);
    driver::press_button(grip2);
    ASSERT_TRUE(driver::wait_idle());
    driver::hold_key(key::Control);
    driver::move_mouse(grip2.translated(20, 0));
    driver::release_button(grip2.translated(20, 0));
    ASSERT_TRUE(driver::wait_idle());
    driver::release_key(key::Control);
    auto moving = rec->of(MsgKind::Moving);
    ASSERT_FALSE(moving.empty());
    for (const Message& m : moving) EXPECT_TRUE(m.ctrl);
    EXPECT_EQ(window_rect(h), kStart.translated(25, 0));
}

TEST_F(MoveSizeLoop, EscapeDuringADragPutsTheWindowBack) {
    Hwnd h = make();
    Point grip = point_on(h, Hit::Caption);
    driver::press_button(grip);
    ASSERT_TRUE(driver::wait_idle());
    driver::move_mouse(grip.translated(60, 40));
    ASSERT_TRUE(driver::wait_idle());
    ASSERT_EQ(window_rect(h), kStart.translated(60, 40));
    driver::press_key(key::Escape);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(window_rect(h), kStart);
    EXPECT_EQ(rec->of(MsgKind::Move).back().rect, kStart);
    // The drag is over: neither more movement nor the release moves it.
    driver::move_mouse(grip.translated(90, 90));
    driver::release_button(grip.translated(90, 90));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(window_rect(h), kStart);
}

TEST_F(MoveSizeLoop, DraggingTheRightBorderSizes) {
    Hwnd h = make();
    Point edge = point_on(h, Hit::Right);
    ASSERT_EQ(hit_test(h, edge), Hit::Right);
    drag(edge, 40, 17);  // vertical motion does not matter for the right edge
    Rect want{kStart.left, kStart.top, kStart.right + 40, kStart.bottom};
    EXPECT_EQ(window_rect(h), want);
    auto all = rec->all();
    int sizing = first_of(all, MsgKind::Sizing);
    int size = first_of(all, MsgKind::Size);
    ASSERT_GE(sizing, 0);
    ASSERT_GE(size, 0);
    EXPECT_LT(sizing, size);
    EXPECT_EQ(all[std::size_t(sizing)].hit, Hit::Right);
    EXPECT_EQ(all[std::size_t(sizing)].rect, want);
    EXPECT_EQ(rec->of(MsgKind::Size).back().rect, want);
    EXPECT_TRUE(rec->of(MsgKind::Move).empty());  // the top-left stayed
    EXPECT_EQ(client_rect(h).width(), want.width() - 2 * metrics().sizing_frame);
}

TEST_F(MoveSizeLoop, DraggingTheBottomBorderSizes) {
    Hwnd h = make();
    Point edge = point_on(h, Hit::Bottom);
    ASSERT_EQ(hit_test(h, edge), Hit::Bottom);
    drag(edge, 13, 30);
    Rect want{kStart.left, kStart.top, kStart.right, kStart.bottom + 30};
    EXPECT_EQ(window_rect(h), want);
    ASSERT_FALSE(rec->of(MsgKind::Sizing).empty());
    EXPECT_EQ(rec->of(MsgKind::Sizing).front().hit, Hit::Bottom);
    EXPECT_EQ(rec->of(MsgKind::Size).back().rect, want);
}

TEST_F(MoveSizeLoop, DraggingTheLeftBorderMovesTheLeftEdgeOnly) {
    Hwnd h = make();
    Point edge = point_on(h, Hit::Left);
    ASSERT_EQ(hit_test(h, edge), Hit::Left);
    drag(edge, -30, 8);
    Rect want{kStart.left - 30, kStart.top, kStart.right, kStart.bottom};
    EXPECT_EQ(window_rect(h), want);
    ASSERT_FALSE(rec->of(MsgKind::Size).empty());
    ASSERT_FALSE(rec->of(MsgKind::Move).empty());
    EXPECT_EQ(rec->of(MsgKind::Size).back().rect, want);
    EXPECT_EQ(rec->of(MsgKind::Move).back().rect, want);
}

TEST_F(MoveSizeLoop, SizingStopsAtTheMinimumHoldingTheOppositeEdges) {
    Hwnd h = make();
    Size min = metrics().min_window;
    Point corner = point_on(h, Hit::TopLeft);
    ASSERT_EQ(hit_test(h, corner), Hit::TopLeft);
    // Far past the bottom-right corner.
    drag(corner, kStart.width() + 50, kStart.height() + 50);
    EXPECT_EQ(window_rect(h), (Rect{kStart.right - min.width, kStart.bottom - min.height, kStart.right,
                                    kStart.bottom}));
    for (const Message& m : rec->of(MsgKind::Sizing)) {
        EXPECT_GE(m.rect.width(), min.width);
        EXPECT_GE(m.rect.height(), min.height);
        EXPECT_EQ(m.hit, Hit::TopLeft);
    }

    // The right edge dragged far to the left holds the left edge.
    ui.run([h] { set_window_rect(h, kStart); });
    rec->clear();
    Point right = point_on(h, Hit::Right);
    drag(right, -500, 0);
    EXPECT_EQ(window_rect(h), (Rect{kStart.left, kStart.top, kStart.left + min.width, kStart.bottom}));
}

TEST_F(MoveSizeLoop, EscapeDuringSizingPutsTheSizeBack) {
    Hwnd h = make();
    Point edge = point_on(h, Hit::BottomRight);
    driver::press_button(edge);
    ASSERT_TRUE(driver::wait_idle());
    driver::move_mouse(edge.translated(50, 40));
    ASSERT_TRUE(driver::wait_idle());
    ASSERT_EQ(window_rect(h), (Rect{kStart.left, kStart.top, kStart.right + 50, kStart.bottom + 40}));
    driver::press_key(key::Escape);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(window_rect(h), kStart);
    EXPECT_EQ(rec->of(MsgKind::Size).back().rect, kStart);
    driver::release_button(edge.translated(70, 70));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(window_rect(h), kStart);
}

TEST_F(MoveSizeLoop, WindowWithoutSizingBorderDoesNotSize) {
    Hwnd h = make(style::Caption | style::CloseBox | style::Visible);
    Point edge{kStart.left, (kStart.top + kStart.bottom) / 2};
    ASSERT_EQ(hit_test(h, edge), Hit::Border);
    EXPECT_EQ(point_on(h, Hit::Right).x, -1);
    drag(edge, -30, 0);
    EXPECT_EQ(window_rect(h), kStart);
    EXPECT_TRUE(rec->of(MsgKind::Sizing).empty());
    EXPECT_TRUE(rec->of(MsgKind::Size).empty());
    EXPECT_TRUE(rec->of(MsgKind::Moving).empty());
}

TEST_F(MoveSizeLoop, SizingHandlerThatKeepsTheCurrentRectRefusesResizing) {
    Hwnd h = make(style::Overlapped | style::Visible, [](Message& m) {
        if (m.kind != MsgKind::Sizing) return false;
        m.rect = window_rect(m.window);
        return true;
    });
    drag(point_on(h, Hit::Right), 60, 0);
    drag(point_on(h, Hit::BottomRight), -50, -50);
    EXPECT_EQ(window_rect(h), kStart);
    EXPECT_FALSE(rec->of(MsgKind::Sizing).empty());
    EXPECT_TRUE(rec->of(MsgKind::Size).empty());
}

TEST_F(MoveSizeLoop, ClosingByTheCloseBoxDestroysTheWindow) {
    Hwnd h = make();
    Point box = point_on(h, Hit::CloseBox);
    ASSERT_EQ(hit_test(h, box), Hit::CloseBox);
    driver::click(box);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(rec->of(MsgKind::Close).size(), 1u);
    EXPECT_FALSE(is_window(h));
}

TEST_F(MoveSizeLoop, ReleasingAwayFromTheCloseBoxDoesNotClose) {
    Hwnd h = make();
    Point box = point_on(h, Hit::CloseBox);
    driver::press_button(box);
    ASSERT_TRUE(driver::wait_idle());
    driver::move_mouse({300, 250});
    driver::release_button({300, 250});
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(is_window(h));
    EXPECT_TRUE(rec->of(MsgKind::Close).empty());
    EXPECT_EQ(window_rect(h), kStart);

    // Leaving and coming back before the release still counts.
    driver::press_button(box);
    ASSERT_TRUE(driver::wait_idle());
    driver::move_mouse({300, 250});
    ASSERT_TRUE(driver::wait_idle());
    driver::release_button(box);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(is_window(h));
}
