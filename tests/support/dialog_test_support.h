// A fixture for tests of modal boxes and dialogs: the box runs on a UI
// thread while the test acts as the person at the screen, and whatever a
// test leaves open is closed with Escape when it ends.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"

namespace testsupport {

class DialogTest : public ::testing::Test {
protected:
    // `closable`: the classes of the windows a test may leave open, in the
    // order Escape should answer them (a box a dialog asked before the
    // dialog itself).
    explicit DialogTest(std::vector<const char*> closable) : closable_(std::move(closable)) {}

    void SetUp() override {
        plat::driver::clear_shown_dialogs();
        plat::driver::set_dialog_mode(plat::driver::DialogMode::AutoAnswer);
    }

    // Stops the UI thread too, while the derived fixture's members that the
    // box's caller writes are still there.
    void TearDown() override {
        using namespace plat;
        driver::set_dialog_mode(driver::DialogMode::AutoAnswer);
        for (int i = 0; i < 5 && posted && !done; ++i) {
            for (const char* cls : closable_)
                if (find_window(cls)) driver::press_key(key::Escape);
            driver::wait_idle();
        }
        EXPECT_TRUE(!posted || wait_until([this] { return done.load(); }));
        ui.run([this] {
            for (Hwnd h : owners_) destroy_window(h);
        });
        driver::clear_shown_dialogs();
        release_capture();
        driver::wait_idle();
        ui.stop();
    }

    // Runs `show` (which opens a box and returns with its answer) on the UI
    // thread and waits until a window of class `cls` shows: that window,
    // also kept as `dialog`.
    plat::Hwnd open_on_ui(const char* cls, std::function<void()> show) {
        plat::driver::set_dialog_mode(plat::driver::DialogMode::WaitForInput);
        posted = true;
        done = false;
        ui.post([this, show = std::move(show)] {
            show();
            done = true;
        });
        EXPECT_TRUE(wait_until([cls] { return bool(plat::find_window(cls)); }));
        EXPECT_TRUE(plat::driver::wait_idle());
        dialog = plat::find_window(cls);
        return dialog;
    }
    void wait_done() {
        ASSERT_TRUE(wait_until([this] { return done.load(); }, 5000));
        plat::driver::wait_idle();
    }

    // A visible top-level window on the UI thread, to own a box; it goes
    // when the test ends.
    plat::Hwnd make_owner(plat::Rect r) {
        plat::Hwnd h = ui.run([r] {
            if (!plat::class_registered("dialog_test_owner")) {
                plat::WindowClass c;
                c.name = "dialog_test_owner";
                plat::register_class(c);
            }
            plat::CreateParams p;
            p.class_name = "dialog_test_owner";
            p.title = "Owner";
            p.rect = r;
            p.style = plat::style::Overlapped | plat::style::Visible;
            return plat::create_window(p);
        });
        owners_.push_back(h);
        return h;
    }

    plat::Hwnd part(int id) const { return plat::child_by_id(dialog, id); }
    std::string text(int id) const { return plat::window_text(part(id)); }

    static plat::Point centre(plat::Rect r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    static plat::Point centre(plat::Hwnd h) { return centre(plat::window_rect(h)); }
    // What the screen shows at a point, once everything has been drawn.
    static plat::Color shown_at(plat::Point screen) {
        plat::driver::wait_idle();
        return plat::driver::capture_screen().pixel(screen.x, screen.y);
    }
    static void click(plat::Point p) {
        plat::driver::click(p);
        plat::driver::wait_idle();
    }
    static void key(int k, bool ctrl = false, bool shift = false) {
        plat::driver::press_key(k, ctrl, shift);
        plat::driver::wait_idle();
    }
    // Clicks field `id`, selects its text and types `s` over it.
    void retype(int id, const std::string& s) {
        click(centre(part(id)));
        key('A', true);
        plat::driver::type_text(s);
        plat::driver::wait_idle();
    }

    std::atomic<bool> done{false};  // the box `open_on_ui` showed has answered
    bool posted = false;
    plat::Hwnd dialog;
    UiThread ui;

private:
    std::vector<const char*> closable_;
    std::vector<plat::Hwnd> owners_;
};

}  // namespace testsupport
