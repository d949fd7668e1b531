// Snapping as a person meets it: dragging a library window by its caption
// with Ctrl held.
#include <gtest/gtest.h>

#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/snapping.h"
#include "support/ui_thread.h"

using namespace plat;

namespace {

class SnapDrag : public ::testing::Test {
protected:
    void SetUp() override {
        if (!class_registered("snap_test_window")) {
            WindowClass cls;
            cls.name = "snap_test_window";
            cls.proc = [](Message& m) { return mav::handle_snapping(m); };
            register_class(cls);
        }
        CreateParams p;
        p.class_name = "snap_test_window";
        p.style = style::Overlapped | style::Visible;
        p.rect = Rect::from_xywh(100, 100, 200, 150);
        other_ = ui_.run([&] { return create_window(p); });
        p.rect = Rect::from_xywh(600, 400, 160, 120);
        moving_ = ui_.run([&] { return create_window(p); });
        mav::windows().image[0] = other_.id;
        mav::windows().image[1] = moving_.id;
        mav::rebuild_snap_list();
    }
    void TearDown() override {
        mav::windows().image[0] = 0;
        mav::windows().image[1] = 0;
        ui_.run([&] {
            destroy_window(moving_);
            destroy_window(other_);
        });
    }

    // Drags the moving window's caption so that its left edge lands at `left`
    // and its top at `top`, with or without Ctrl.
    Rect drag_to(int left, int top, bool ctrl) {
        Rect r = window_rect(moving_);
        Point grab{r.left + 40, r.top + metrics().sizing_frame + 5};
        if (ctrl) driver::hold_key(key::Control);
        driver::press_button(grab);
        driver::move_mouse({grab.x + (left - r.left) / 2, grab.y + (top - r.top) / 2});
        Point end{grab.x + left - r.left, grab.y + top - r.top};
        driver::move_mouse(end);
        driver::release_button(end);
        if (ctrl) driver::release_key(key::Control);
        EXPECT_TRUE(driver::wait_idle());
        return window_rect(moving_);
    }

    testsupport::UiThread ui_;
    Hwnd other_, moving_;
};

}  // namespace

TEST_F(SnapDrag, SevenPixelsFromAnotherWindowSnapsEightDoesNot) {
    // The other window spans x 100..300; put the left edge 7 px right of it.
    Rect snapped = drag_to(307, 150, true);
    EXPECT_EQ(snapped.left, 300);
    EXPECT_EQ(snapped.width(), 160);
    Rect free = drag_to(600, 400, true);
    EXPECT_EQ(free.left, 600);
    Rect eight = drag_to(308, 150, true);
    EXPECT_EQ(eight.left, 308);
}

TEST_F(SnapDrag, ScreenEdgeSnapsOnlyWithCtrl) {
    Size screen = screen_size();
    Rect near_right = drag_to(screen.width - 160 - 5, 600, false);
    EXPECT_EQ(near_right.right, screen.width - 5);
    Rect snapped = drag_to(screen.width - 160 - 5, 600, true);
    EXPECT_EQ(snapped.right, screen.width);
    EXPECT_EQ(snapped.top, 600);
}

TEST_F(SnapDrag, MovingRebuildsTheListWithTheWindowsNewPlace) {
    drag_to(700, 500, false);
    auto list = mav::snap_list();
    EXPECT_NE(std::find(list.begin(), list.end(), Rect::from_xywh(700, 500, 160, 120)), list.end());
}
