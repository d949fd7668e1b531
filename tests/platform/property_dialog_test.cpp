// The property dialog: headless answers, and scripted input with the dialog
// left open (slider, value field, the automatic box, the ways to close it),
// and its size with many rows on a small screen.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/platform.h"
#include "plat/core/window.h"
#include "support/dialog_test_support.h"
#include "support/ui_helpers.h"

using namespace plat;
using testsupport::point_on;
using testsupport::wait_until;

namespace {

constexpr const char* kDialogClass = "plat_propdlg";
constexpr Color kBlack = 0x000000;
constexpr Color kDark = 0x404040;

struct Call {
    int row;
    std::int32_t value;
    bool automatic;
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
    return os << "{" << c.row << ", " << c.value << ", " << (c.automatic ? "auto" : "manual") << "}";
}

bool has_pixel(const Surface& s, Color c) {
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.pixel(x, y) == c) return true;
    return false;
}

// Apply records what it was told and on which thread.
class PropertyDialog : public testsupport::DialogTest {
protected:
    PropertyDialog() : DialogTest({kDialogClass}) {}

    void SetUp() override {
        DialogTest::SetUp();
        ui_thread = ui.run([] { return std::this_thread::get_id(); });
    }

    // Opens a dialog on the UI thread and waits until it shows.
    Hwnd open(std::vector<PropertyRow> rows, Hwnd owner = {}) {
        return open_on_ui(kDialogClass, [this, rows, owner] {
            property_dialog(owner, "Camera", rows, [this](int row, std::int32_t value, bool automatic) {
                std::lock_guard lock(m);
                calls.push_back({row, value, automatic});
                if (std::this_thread::get_id() != ui_thread) ++foreign_calls;
            });
        });
    }

    std::vector<Call> taken() {
        std::lock_guard lock(m);
        std::vector<Call> out;
        out.swap(calls);
        return out;
    }
    Hwnd part(int base, int row) const { return child_by_id(dialog, base + row); }
    std::string field(int row) const { return window_text(part(propdlg::kValue, row)); }
    std::int32_t slider(int row) const { return slider_pos(part(propdlg::kSlider, row)); }

    // A screen point on a row's slider, `frac` of the way across it.
    Point on_slider(int row, double frac) const {
        Rect r = window_rect(part(propdlg::kSlider, row));
        return {r.left + int(frac * (r.width() - 1)), (r.top + r.bottom) / 2};
    }
    static void type(const char* text) {
        driver::type_text(text);
        driver::wait_idle();
    }
    // A control's pixels as the screen shows them.
    Surface pixels(Hwnd h) { return testsupport::shown_pixels(dialog, h); }

    std::mutex m;
    std::vector<Call> calls;
    int foreign_calls = 0;
    std::thread::id ui_thread;
};

}  // namespace

TEST_F(PropertyDialog, HeadlessClosesAtOnceWithAQueuedAnswerOrReportsItsCaption) {
    int calls_made = 0;
    auto apply = [&](int, std::int32_t, bool) { ++calls_made; };
    std::vector<PropertyRow> rows{{"Brightness", 0, 255, 1, 128}};

    for (bool cancel : {false, true}) {
        driver::queue_dialog_answer({cancel, ""});
        testing::internal::CaptureStderr();
        property_dialog({}, "Webcam", rows, apply);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_TRUE(driver::wait_dialog_answers_taken(0));
        EXPECT_FALSE(find_window(kDialogClass));
    }

    // Nobody answers: the caption goes to stderr and it closes.
    testing::internal::CaptureStderr();
    property_dialog({}, "Webcam properties", rows, apply);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Webcam properties\n");
    EXPECT_FALSE(find_window(kDialogClass));

    EXPECT_EQ(calls_made, 0);
    auto shown = driver::shown_dialogs();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].caption, "Webcam");
    EXPECT_EQ(shown[2].caption, "Webcam properties");
}

TEST_F(PropertyDialog, SliderKeysAndFieldApplyClampedSteppedValuesInStep) {
    ASSERT_TRUE(open({{"Brightness", -64, 64, 1, 0},
                      {"Gain", 0, 200, 7, 15},  // 15 is off the steps; 196 is the last one
                      {"Odd", 50, 10, 0, 70},   // min above max: only 50 is left
                      {"Step0", 0, 10, 0, 3}}));
    EXPECT_EQ(window_text(dialog), "Camera");
    EXPECT_EQ(field(1), "14");
    EXPECT_EQ(slider(1), 14);
    EXPECT_EQ(window_text(part(propdlg::kRange, 1)), "0 .. 200");
    EXPECT_EQ(window_text(part(propdlg::kName, 1)), "Gain");
    EXPECT_EQ(field(2), "50");
    EXPECT_FALSE(part(propdlg::kAuto, 0));  // no automatic mode, no box
    EXPECT_TRUE(taken().empty());           // opening changes nothing

    // Pressed at the left end and dragged past the right end and back to the
    // middle: every new position is applied as it comes, each on a step.
    driver::press_button(on_slider(1, 0.0));
    driver::move_mouse(on_slider(1, 0.25));
    driver::move_mouse(on_slider(1, 1.2));
    driver::wait_idle();
    std::vector<Call> dragged = taken();
    ASSERT_GE(dragged.size(), 3u);
    EXPECT_EQ(dragged.front(), (Call{1, 0, false}));
    EXPECT_EQ(dragged.back(), (Call{1, 196, false}));
    EXPECT_GT(dragged[1].value, 0);
    EXPECT_LT(dragged[1].value, 196);
    EXPECT_EQ(dragged[1].value % 7, 0);
    EXPECT_EQ(field(1), "196");
    driver::move_mouse(on_slider(1, 0.5));
    driver::release_button(on_slider(1, 0.5));
    driver::wait_idle();
    dragged = taken();
    ASSERT_EQ(dragged.size(), 1u);
    std::int32_t mid = dragged[0].value;
    EXPECT_EQ(mid % 7, 0);
    EXPECT_GT(mid, 56);
    EXPECT_LT(mid, 140);
    EXPECT_EQ(slider(1), mid);
    EXPECT_EQ(field(1), std::to_string(mid));
    EXPECT_EQ(focus_window(), part(propdlg::kSlider, 1));
    EXPECT_EQ(capture_window(), Hwnd{});

    // Keys on the focused slider.
    key(key::Home);
    key(key::Right);
    key(key::Right);
    key(key::Left);
    key(key::End);
    key(key::Right);  // at the top already: nothing to apply
    EXPECT_EQ(taken(), (std::vector<Call>{{1, 0, false}, {1, 7, false}, {1, 14, false}, {1, 7, false}, {1, 196, false}}));
    key(key::PageDown);
    std::vector<Call> paged = taken();
    ASSERT_EQ(paged.size(), 1u);
    EXPECT_LT(paged[0].value, 189);  // more than a step
    EXPECT_EQ(paged[0].value % 7, 0);
    EXPECT_EQ(field(1), std::to_string(paged[0].value));
    key(key::PageUp);
    EXPECT_EQ(taken(), (std::vector<Call>{{1, 196, false}}));

    // Tab goes on to the value field with its text selected for retyping.
    // Enter takes the number and keeps the dialog open.
    key(key::Tab);
    ASSERT_EQ(focus_window(), part(propdlg::kValue, 1));
    type("45");
    key(key::Enter);
    EXPECT_EQ(taken(), (std::vector<Call>{{1, 42, false}}));
    EXPECT_EQ(field(1), "42");
    EXPECT_EQ(slider(1), 42);
    EXPECT_FALSE(done);
    type("1000");
    key(key::Enter);
    type("-3");
    key(key::Enter);
    EXPECT_EQ(taken(), (std::vector<Call>{{1, 196, false}, {1, 0, false}}));
    EXPECT_EQ(slider(1), 0);
    type("abc");
    key(key::Enter);
    EXPECT_EQ(field(1), "0");  // junk: the value comes back
    type("99999999999999999999");
    key(key::Enter);
    EXPECT_EQ(field(1), "196");
    // Leaving the field takes its number too.
    type(" 28 ");
    key(key::Tab);
    EXPECT_NE(focus_window(), part(propdlg::kValue, 1));
    EXPECT_EQ(taken(), (std::vector<Call>{{1, 196, false}, {1, 28, false}}));
    EXPECT_EQ(field(1), "28");
    EXPECT_EQ(slider(1), 28);

    // A field reached by the mouse.
    click(centre(window_rect(part(propdlg::kValue, 0))));
    key('A', true);
    type("-100");
    key(key::Enter);
    EXPECT_EQ(taken(), (std::vector<Call>{{0, -64, false}}));
    EXPECT_EQ(slider(0), -64);

    // The empty range cannot move; a step below 1 counts as 1.
    click(on_slider(2, 0.9));
    key(key::End);
    key(key::Left);
    click(centre(window_rect(part(propdlg::kValue, 2))));
    key('A', true);
    type("30");
    key(key::Enter);
    EXPECT_EQ(field(2), "50");
    EXPECT_EQ(slider(2), 50);
    click(on_slider(3, 0.3));
    key(key::Home);
    key(key::Right);
    std::vector<Call> last = taken();
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back(), (Call{3, 1, false}));
    for (const Call& c : last) EXPECT_EQ(c.row, 3);  // nothing from the empty range

    EXPECT_FALSE(done);
    std::lock_guard lock(m);
    EXPECT_EQ(foreign_calls, 0);  // apply ran on the dialog's own thread
}

TEST_F(PropertyDialog, AutomaticBoxTogglesAppliesAndGreysTheRow) {
    ASSERT_TRUE(open({{"Exposure", 1, 5000, 1, 250, true, true},
                      {"Focus", 0, 255, 5, 100, true, false},
                      {"Zoom", 0, 10, 1, 5}}));
    Hwnd exp_slider = part(propdlg::kSlider, 0), exp_field = part(propdlg::kValue, 0);
    Hwnd exp_auto = part(propdlg::kAuto, 0), focus_auto = part(propdlg::kAuto, 1);
    ASSERT_TRUE(exp_auto);
    ASSERT_TRUE(focus_auto);
    EXPECT_FALSE(part(propdlg::kAuto, 2));
    EXPECT_TRUE(is_checked(exp_auto));
    EXPECT_FALSE(is_checked(focus_auto));
    EXPECT_FALSE(control_enabled(exp_slider));
    EXPECT_FALSE(control_enabled(exp_field));
    EXPECT_TRUE(control_enabled(part(propdlg::kSlider, 1)));
    // The first row that can be moved has the focus.
    EXPECT_EQ(focus_window(), part(propdlg::kSlider, 1));

    // Greyed: the field's number is grey, not black, and the slider loses
    // its dark edges.
    EXPECT_FALSE(has_pixel(pixels(exp_field), kBlack));
    EXPECT_FALSE(has_pixel(pixels(exp_slider), kDark));
    EXPECT_TRUE(has_pixel(pixels(part(propdlg::kValue, 1)), kBlack));
    EXPECT_TRUE(has_pixel(pixels(part(propdlg::kSlider, 1)), kDark));

    // A greyed row takes neither clicks nor the focus.
    click(on_slider(0, 0.9));
    click(centre(window_rect(exp_field)));
    type("9");
    EXPECT_EQ(field(0), "250");
    EXPECT_EQ(slider(0), 250);
    EXPECT_EQ(focus_window(), part(propdlg::kSlider, 1));
    EXPECT_TRUE(taken().empty());

    // Off automatic: the row comes back to life at once.
    click(centre(window_rect(exp_auto)));
    EXPECT_EQ(taken(), (std::vector<Call>{{0, 250, false}}));
    EXPECT_FALSE(is_checked(exp_auto));
    EXPECT_TRUE(control_enabled(exp_slider));
    EXPECT_TRUE(control_enabled(exp_field));
    EXPECT_TRUE(has_pixel(pixels(exp_field), kBlack));
    EXPECT_TRUE(has_pixel(pixels(exp_slider), kDark));
    click(on_slider(0, 0.5));
    key(key::End);
    EXPECT_EQ(taken().back(), (Call{0, 5000, false}));
    EXPECT_EQ(field(0), "5000");

    // On again by the mouse, keeping the value set by hand.
    click(centre(window_rect(exp_auto)));
    EXPECT_EQ(taken(), (std::vector<Call>{{0, 5000, true}}));
    EXPECT_FALSE(control_enabled(exp_slider));
    EXPECT_FALSE(has_pixel(pixels(exp_field), kBlack));

    // Space toggles the focused box, both ways.
    click(centre(window_rect(focus_auto)));
    EXPECT_EQ(focus_window(), focus_auto);
    EXPECT_FALSE(control_enabled(part(propdlg::kValue, 1)));
    key(key::Space);
    EXPECT_TRUE(control_enabled(part(propdlg::kValue, 1)));
    EXPECT_EQ(taken(), (std::vector<Call>{{1, 100, true}, {1, 100, false}}));

    // Tab passes the greyed slider and field by: from the OK button round to
    // the first row's box.
    Hwnd ok = child_by_id(dialog, kIdOk);
    ui.run([ok] { set_focus(ok); });
    key(key::Tab);
    EXPECT_EQ(focus_window(), exp_auto);
    EXPECT_FALSE(done);
}

TEST_F(PropertyDialog, OkEnterEscapeAndTheCloseBoxEndIt) {
    std::vector<PropertyRow> rows{{"Contrast", 0, 64, 1, 32}, {"Hue", -180, 180, 1, 0, true, false}};
    Hwnd owner = make_owner({300, 200, 900, 700});
    enum Way { OkButton, EnterOnOk, EnterOnSlider, Escape, CloseBox };
    for (Way way : {OkButton, EnterOnOk, EnterOnSlider, Escape, CloseBox}) {
        SCOPED_TRACE(int(way));
        Hwnd d = open(rows, owner);
        ASSERT_TRUE(d);
        Hwnd ok = child_by_id(d, kIdOk);
        ASSERT_TRUE(ok);
        EXPECT_TRUE(is_button(ok));
        EXPECT_EQ(window_text(ok), "OK");
        switch (way) {
        case OkButton: click(centre(window_rect(ok))); break;
        case EnterOnOk:
            ui.run([ok] { set_focus(ok); });
            key(key::Enter);
            break;
        case EnterOnSlider:
            EXPECT_EQ(focus_window(), part(propdlg::kSlider, 0));
            key(key::Enter);
            break;
        case Escape: key(key::Escape); break;
        case CloseBox: {
            Point x = point_on(d, Hit::CloseBox);
            ASSERT_NE(x.x, -1);
            click(x);
            break;
        }
        }
        ASSERT_TRUE(wait_until([this] { return done.load(); }));
        ASSERT_TRUE(driver::wait_idle());
        EXPECT_FALSE(is_window(d));
        EXPECT_EQ(active_window(), owner);
        EXPECT_TRUE(taken().empty());  // closing applies nothing
    }
}

TEST_F(PropertyDialog, SeventeenRowsFitA1024x768ScreenBesideAnOwnerAtItsEdge) {
    testsupport::ScreenOfSize screen({1024, 768});
    std::vector<PropertyRow> rows;
    for (int i = 0; i < 17; ++i)
        rows.push_back({"White balance temperature " + std::to_string(i), i % 3 ? 0 : INT32_MIN,
                        i % 3 ? 255 : INT32_MAX, 1, 0, i % 2 == 0, false});
    Hwnd owner = make_owner({700, 500, 1024, 768});
    ASSERT_TRUE(open(rows, owner));

    Rect screen_rect{0, 0, 1024, 768};
    Rect dr = window_rect(dialog);
    EXPECT_EQ(dr.intersected(screen_rect), dr) << dr.left << "," << dr.top << " " << dr.width() << "x" << dr.height();

    // Every part lies within the client area and clear of every other part.
    Point o = client_origin(dialog);
    Rect client = client_rect(dialog).translated(o.x, o.y);
    std::vector<Hwnd> parts = children_of(dialog);
    EXPECT_EQ(parts.size(), 17u * 4 + 9 + 1);  // name, slider, field, range; 9 boxes; OK
    for (std::size_t i = 0; i < parts.size(); ++i) {
        Rect a = window_rect(parts[i]);
        EXPECT_EQ(a.intersected(client), a) << "control " << control_id(parts[i]);
        for (std::size_t j = i + 1; j < parts.size(); ++j)
            EXPECT_TRUE(a.intersected(window_rect(parts[j])).is_empty())
                << control_id(parts[i]) << " overlaps " << control_id(parts[j]);
    }

    // The widest numbers show whole (8 pixels a character), and the last
    // row works.
    EXPECT_EQ(window_text(part(propdlg::kRange, 0)), "-2147483648 .. 2147483647");
    EXPECT_GE(window_rect(part(propdlg::kRange, 0)).width(), 25 * 8);
    EXPECT_GE(window_rect(part(propdlg::kValue, 0)).width(), 11 * 8 + 4);
    click(on_slider(16, 0.5));
    key(key::End);
    EXPECT_EQ(taken().back(), (Call{16, 255, false}));
    EXPECT_EQ(field(16), "255");
}
