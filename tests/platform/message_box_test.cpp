// The message box: answered at once by the headless driver, or left open for
// scripted input and answered by Enter, its OK button or its close box.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "plat/ui/dialogs.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/metrics.h"
#include "plat/gfx/truetype.h"
#include "plat/core/window.h"
#include "support/dialog_test_support.h"

using namespace plat;
using testsupport::point_on;
using testsupport::wait_until;

namespace {

constexpr const char* kBoxClass = "plat_msgbox";

class MessageBox : public testsupport::DialogTest {
protected:
    MessageBox() : DialogTest({kBoxClass}) {}

    // Opens a box on the UI thread and waits until it shows.
    Hwnd open(Hwnd owner, const char* text, const char* caption) {
        return open_on_ui(kBoxClass, [this, owner, text, caption] {
            result = message_box(owner, text, caption, MbIcon::Error);
        });
    }

    std::atomic<int> result{-1};
};

}  // namespace

TEST_F(MessageBox, AutoAnswerReturnsOkAtOnceAndReportsOnStderr) {
    testing::internal::CaptureStderr();
    int r = message_box({}, "Disk is full", "Saver");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, kIdOk);
    EXPECT_NE(err.find("Saver: Disk is full\n"), std::string::npos) << err;
    EXPECT_FALSE(find_window(kBoxClass));
    auto shown = driver::shown_dialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Saver");
    EXPECT_EQ(shown[0].text, "Disk is full");
}

TEST_F(MessageBox, QueuedAnswerIsTakenWithoutPrinting) {
    driver::queue_dialog_answer({});
    testing::internal::CaptureStderr();
    int r = message_box({}, "Quiet", "Box");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, kIdOk);
    EXPECT_EQ(err, "");
    EXPECT_TRUE(driver::wait_dialog_answers_taken(0));
    ASSERT_EQ(driver::shown_dialogs().size(), 1u);
    EXPECT_EQ(driver::shown_dialogs()[0].text, "Quiet");
    // The queued answer was for one box only; the next one prints again.
    testing::internal::CaptureStderr();
    message_box({}, "Loud", "Box");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Box: Loud\n");
}

TEST_F(MessageBox, WaitsForEnterCentredOnTheScreen) {
    Hwnd box = open({}, "Hello\nWorld", "Note");
    ASSERT_TRUE(box);
    EXPECT_FALSE(done);
    EXPECT_EQ(window_text(box), "Note");
    EXPECT_EQ(active_window(), box);
    Rect r = window_rect(box);
    Size s = screen_size();
    EXPECT_LE(std::abs((r.left + r.right) - s.width), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) - s.height), 1);
    ASSERT_EQ(driver::shown_dialogs().size(), 1u);
    EXPECT_EQ(driver::shown_dialogs()[0].text, "Hello\nWorld");

    driver::press_key(key::Enter);
    ASSERT_TRUE(wait_until([this] { return done.load(); }));
    EXPECT_EQ(result, kIdOk);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(is_window(box));
    EXPECT_FALSE(find_window(kBoxClass));
}

TEST_F(MessageBox, ClickOnOkAnswersCentredOnTheOwner) {
    Hwnd owner = make_owner({300, 200, 900, 700});
    Hwnd box = open(owner, "Saved.", "Done");
    ASSERT_TRUE(box);
    Rect r = window_rect(box);
    EXPECT_LE(std::abs((r.left + r.right) - 1200), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) - 900), 1);

    // OK sits centred near the bottom of the client area.
    Rect c = client_rect(box);
    Point o = client_origin(box);
    Point ok{o.x + c.width() / 2, o.y + c.height() - 12 - 11};

    // Pressing OK and sliding off before the release does not answer.
    driver::press_button(ok);
    ASSERT_TRUE(driver::wait_idle());
    driver::move_mouse({o.x + 2, o.y + 2});
    driver::release_button({o.x + 2, o.y + 2});
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(done);
    EXPECT_TRUE(is_window(box));

    driver::click(ok);
    ASSERT_TRUE(wait_until([this] { return done.load(); }));
    EXPECT_EQ(result, kIdOk);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(is_window(box));
    EXPECT_EQ(active_window(), owner);  // the owner is active again
}

TEST_F(MessageBox, CloseBoxAnswers) {
    Hwnd box = open({}, "Close me", "Box");
    ASSERT_TRUE(box);
    Point x = point_on(box, Hit::CloseBox);
    ASSERT_NE(x.x, -1);
    driver::click(x);
    ASSERT_TRUE(wait_until([this] { return done.load(); }));
    EXPECT_EQ(result, kIdOk);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(is_window(box));
}

TEST_F(MessageBox, ClicksElsewhereInTheBoxDoNotAnswer) {
    Hwnd box = open({}, "Still here", "Box");
    ASSERT_TRUE(box);
    Point o = client_origin(box);
    driver::click({o.x + 3, o.y + 3});
    driver::press_key('A');
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(done);
    EXPECT_TRUE(is_window(box));
    driver::press_key(key::Escape);
    ASSERT_TRUE(wait_until([this] { return done.load(); }));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(is_window(box));
}

namespace {

class BoxPlacement : public testsupport::DialogTest {
protected:
    BoxPlacement()
        : DialogTest({kBoxClass, "plat_question", "plat_colordlg", "plat_fontdlg", "plat_filedlg", "plat_propdlg"}) {}
};

}  // namespace

// Every box and dialog opened over an owner that sits in a corner of the
// screen (as the main window sits at its bottom) is slid back onto the work
// area, whole, and is owned by that owner.
TEST_F(BoxPlacement, BoxesOverAWindowInTheCornerStayWhollyOnTheScreenAndAreOwned) {
    const Rect area = work_area();
    for (Rect corner : {Rect::from_xywh(area.right - 150, area.bottom - 40, 150, 40),
                        Rect::from_xywh(area.left - 60, area.top - 20, 120, 40)}) {
        const Hwnd owner = make_owner(corner);
        const struct {
            const char* cls;
            std::function<void()> show;
        } boxes[] = {
            {kBoxClass, [owner] { message_box(owner, "Text", "Caption", MbIcon::Error); }},
            {"plat_question", [owner] { yes_no_box(owner, "Replace it?", "Question"); }},
            {"plat_colordlg",
             [owner] {
                 std::uint32_t rgb = 0;
                 std::array<std::uint32_t, 16> custom{};
                 color_dialog(owner, rgb, custom);
             }},
            {"plat_fontdlg",
             [owner] {
                 TrueTypeDescription d{"DejaVu Sans", 16};
                 font_dialog(owner, d);
             }},
            {"plat_filedlg", [owner] { open_file_dialog(owner, {}); }},
            {"plat_propdlg",
             [owner] { property_dialog(owner, "Video Capture 0", {{"Gain", 0, 255, 1, 9}}, [](int, std::int32_t, bool) {}); }},
        };
        for (const auto& box : boxes) {
            SCOPED_TRACE(box.cls);
            const Hwnd shown = open_on_ui(box.cls, box.show);
            ASSERT_TRUE(shown);
            const Rect r = window_rect(shown);
            EXPECT_TRUE(r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom)
                << r.left << "," << r.top << " - " << r.right << "," << r.bottom;
            EXPECT_EQ(owner_of(shown), owner);
            driver::press_key(key::Escape);
            wait_done();
        }
    }
}
