// The input box and the button box, driven as a person would through the
// headless driver, on a thread that pumps as the user thread does.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "boxes/boxes.h"
#include "mavlib.h"
#include "plat/base/clock.h"
#include "plat/ui/controls.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "support/library_classes.h"
#include "support/ui_helpers.h"
#include "text/text_window.h"

using namespace mav;
using testsupport::point_on;
using testsupport::wait_until;

namespace {

// Runs tasks between rounds of MAV_PumpMessages, as the user thread runs the
// program's code between its pumps.
class UserThread {
public:
    UserThread() : thread_([this] { loop(); }) {}
    ~UserThread() {
        stop_ = true;
        thread_.join();
    }
    template <typename F>
    auto run(F fn) -> decltype(fn()) {
        auto task = std::make_shared<std::packaged_task<decltype(fn())()>>(std::move(fn));
        auto result = task->get_future();
        {
            std::lock_guard lock(m_);
            tasks_.push_back([task] { (*task)(); });
        }
        return result.get();
    }

private:
    void loop() {
        while (!stop_) {
            MAV_PumpMessages();
            std::deque<std::function<void()>> now;
            {
                std::lock_guard lock(m_);
                now.swap(tasks_);
            }
            for (auto& t : now) t();
            plat::wait_for_messages(1);
        }
    }
    std::mutex m_;
    std::deque<std::function<void()>> tasks_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Keys the "main window" of these tests received.
std::mutex g_main_keys_mutex;
std::vector<plat::Message> g_main_keys;

void register_classes_once() {
    if (!plat::class_registered("boxes_test_main")) {
        plat::WindowClass c;
        c.name = "boxes_test_main";
        c.proc = [](plat::Message& m) {
            if (m.kind != plat::MsgKind::KeyDown) return false;
            std::lock_guard lock(g_main_keys_mutex);
            g_main_keys.push_back(m);
            return true;
        };
        c.background = 0xD4D0C8;
        c.double_clicks = false;
        plat::register_class(c);
    }
    testsupport::register_library_window_classes();
    register_box_requests();
}

std::vector<plat::Hwnd> children_where(plat::Hwnd parent, bool (*pred)(plat::Hwnd)) {
    std::vector<plat::Hwnd> out;
    for (plat::Hwnd c : plat::children_of(parent))
        if (pred(c)) out.push_back(c);
    return out;
}

bool is_label(plat::Hwnd h) { return plat::class_name(h) == "plat_static"; }

plat::Point centre(plat::Rect r) { return {r.left + r.width() / 2, r.top + r.height() / 2}; }

class Boxes : public ::testing::Test {
protected:
    void SetUp() override {
        register_classes_once();
        frame().quit_state = kQuitRunning;
        frame().input_pending = 0;
        plat::driver::clear_shown_dialogs();
        plat::driver::set_dialog_mode(plat::driver::DialogMode::AutoAnswer);
        {
            std::lock_guard lock(g_main_keys_mutex);
            g_main_keys.clear();
        }
        main_ = user_.run([] {
            plat::CreateParams p;
            p.class_name = "boxes_test_main";
            p.title = "main";
            p.style = plat::style::Caption | plat::style::Visible;
            p.rect = plat::Rect::from_xywh(1500, 900, 200, 80);
            return plat::create_window(p);
        });
        frame().main_window = main_.id;
    }
    void TearDown() override {
        user_.run([this] {
            MAV_CloseInputBox();
            MAV_CloseButtonBox();
            MAV_UseParallaxButtonKeys(0);
            MAV_ResizeInputBox(80, 70);
            // Back to the first button size: 98 x 26 in a one-button box.
            MAV_OpenButtonBox(0, 0, 1, 1);
            MAV_ResizeButtonBox(98 + 8, 26 + 8);
            MAV_CloseButtonBox();
            for (int i = 0; i < kTextSlots; ++i) MAV_CloseTextWindow(i);
            plat::destroy_window(main_);
        });
        current_text_window() = 0;
        frame().main_window = 0;
        plat::release_capture();
        plat::driver::wait_idle();
    }

    plat::Hwnd input_box() { return plat::Hwnd{windows().input_box.load()}; }
    plat::Hwnd button_box() { return plat::Hwnd{windows().button_box.load()}; }
    std::vector<plat::Hwnd> fields() { return children_where(input_box(), plat::is_edit); }
    std::vector<plat::Hwnd> labels() { return children_where(input_box(), is_label); }
    plat::Hwnd button(int i) { return plat::child_by_id(button_box(), kButtonIdBase + i); }

    void open_input(int x, int y, int items) {
        ASSERT_EQ(user_.run([=] { return MAV_OpenInputBox(x, y, items); }), 0);
        plat::driver::wait_idle();
    }
    void open_buttons(int x, int y, int nx, int ny) {
        ASSERT_EQ(user_.run([=] { return MAV_OpenButtonBox(x, y, nx, ny); }), 0);
        plat::driver::wait_idle();
    }
    int get_int(int i) { return user_.run([=] { return MAV_GetInputBoxInt(i); }); }
    double get_double(int i) { return user_.run([=] { return MAV_GetInputBoxDouble(i); }); }
    int pressed(int i) { return user_.run([=] { return MAV_ButtonPressed(i); }); }

    void click(plat::Point p, plat::MouseButton b = plat::MouseButton::Left) {
        plat::driver::click(p, b);
        plat::driver::wait_idle();
    }
    void double_click(plat::Point p) {
        plat::driver::click(p);
        plat::driver::click(p);
        plat::driver::wait_idle();
    }
    void key(int k, bool ctrl = false, bool shift = false) {
        plat::driver::press_key(k, ctrl, shift);
        plat::driver::wait_idle();
    }
    void type(const char* text) {
        plat::driver::type_text(text);
        plat::driver::wait_idle();
    }
    // Clicks into a field and selects its text, as a person retyping it would.
    void select_field(plat::Hwnd f) {
        click(centre(plat::window_rect(f)));
        ASSERT_EQ(plat::focus_window(), f);
        key(plat::key::Home);
        key(plat::key::End, false, true);
    }
    void choose(const char* item) {
        std::optional<plat::Rect> r;
        ASSERT_TRUE(wait_until([&] { return bool(r = plat::driver::open_menu_item(item)); }, 5000)) << item;
        click(centre(*r));
    }
    // Answers the rename prompt in the current text window.
    void answer(const char* line) {
        ASSERT_TRUE(wait_until([] { return frame().input_pending.load() != 0; }, 5000));
        plat::driver::type_text(line);
        plat::driver::press_key(plat::key::Enter);
        ASSERT_TRUE(wait_until([] { return frame().input_pending.load() == 0; }, 5000));
        plat::driver::wait_idle();
    }
    std::vector<plat::Message> main_keys() {
        std::lock_guard lock(g_main_keys_mutex);
        return g_main_keys;
    }

    UserThread user_;
    plat::Hwnd main_;
};

}  // namespace

// ---- Input box ------------------------------------------------------------

TEST_F(Boxes, InputBoxItemCountsAreClamped) {
    open_input(10, 10, 0);
    EXPECT_EQ(fields().size(), 1u);
    EXPECT_EQ(labels().size(), 1u);
    EXPECT_EQ(user_.run([] { return MAV_CloseInputBox(); }), 0);
    open_input(10, 10, 31);
    EXPECT_EQ(fields().size(), 30u);
    user_.run([] { return MAV_CloseInputBox(); });
    open_input(10, 10, -4);
    EXPECT_EQ(fields().size(), 1u);
}

TEST_F(Boxes, InputBoxLayoutLabelsAndValues) {
    open_input(10, 20, 3);
    plat::Hwnd box = input_box();
    EXPECT_EQ(plat::class_name(box), "mav_ib");
    EXPECT_EQ(plat::window_text(box), "InputBox");
    EXPECT_EQ(plat::client_rect(box), (plat::Rect{0, 0, 162, 86}));
    plat::Rect wr = plat::window_rect(box);
    EXPECT_EQ(wr.top_left(), (plat::Point{10, 20}));
    plat::Point o = plat::client_origin(box);
    auto l = labels();
    auto f = fields();
    ASSERT_EQ(l.size(), 3u);
    ASSERT_EQ(f.size(), 3u);
    // Rows 28 pixels apart: a label of 80 x 24 at the left, 3 pixels lower
    // than its field of 70 x 24.
    const int field_top[3] = {4, 32, 60};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(plat::window_text(l[i]), "Item " + std::to_string(i));
        EXPECT_EQ(plat::window_text(f[i]), "0");
        EXPECT_EQ(plat::window_rect(l[i]), plat::Rect::from_xywh(o.x + 4, o.y + field_top[i] + 3, 80, 24)) << i;
        EXPECT_EQ(plat::window_rect(f[i]), plat::Rect::from_xywh(o.x + 88, o.y + field_top[i], 70, 24)) << i;
        EXPECT_EQ(get_int(i), 0);
    }
    // The first field has the focus, with its text selected.
    EXPECT_EQ(plat::focus_window(), f[0]);
    EXPECT_EQ(plat::edit_selection(f[0]).end, 1);
    // A second open changes nothing.
    EXPECT_EQ(user_.run([] { return MAV_OpenInputBox(300, 300, 5); }), 1);
    EXPECT_EQ(input_box(), box);
    EXPECT_EQ(fields().size(), 3u);
}

TEST_F(Boxes, TypedValueIsSeenOnlyAfterFocusLossOrEnter) {
    open_input(10, 10, 3);
    auto f = fields();
    select_field(f[1]);
    type("42");
    EXPECT_EQ(plat::window_text(f[1]), "42");
    EXPECT_EQ(get_int(1), 0);  // still typing
    key(plat::key::Tab);       // the focus leaves the field
    EXPECT_EQ(plat::focus_window(), f[2]);
    EXPECT_EQ(get_int(1), 42);
    type("-7.25");  // Tab selected field 2's text: this replaces it
    EXPECT_EQ(plat::window_text(f[2]), "-7.25");
    EXPECT_EQ(get_double(2), 0.0);
    key(plat::key::Enter);
    EXPECT_EQ(get_double(2), -7.25);
    EXPECT_EQ(get_int(2), -7);
    EXPECT_EQ(plat::window_text(f[2]), "-7.25");  // Enter adds nothing to the field
    // Clicking elsewhere also takes the value.
    key(plat::key::Home);
    key(plat::key::End, false, true);
    type("5");
    click(centre(plat::window_rect(f[0])));
    EXPECT_EQ(get_int(2), 5);
}

TEST_F(Boxes, SettersWriteValueAndFieldAndRefuseBadItems) {
    open_input(10, 10, 4);
    auto f = fields();
    auto l = labels();
    user_.run([] {
        MAV_SetInputBoxDouble(0, 23.006);
        MAV_SetInputBoxDouble(1, 1e-05);
        MAV_SetInputBoxDouble(2, 1e+20);
        MAV_SetInputBoxInt(3, -1234);
    });
    EXPECT_EQ(plat::window_text(f[0]), "23.006");
    EXPECT_EQ(plat::window_text(f[1]), "1e-05");
    EXPECT_EQ(plat::window_text(f[2]), "1e+20");
    EXPECT_EQ(plat::window_text(f[3]), "-1234");
    EXPECT_DOUBLE_EQ(get_double(0), 23.006);
    EXPECT_DOUBLE_EQ(get_double(1), 1e-05);
    EXPECT_EQ(get_int(3), -1234);
    user_.run([] {
        MAV_SetInputBoxDouble(0, 1.0 / 3.0);
        MAV_SetInputBoxDouble(1, 100.0);
        MAV_SetInputBoxDouble(2, 1234567890123.0);
    });
    EXPECT_EQ(plat::window_text(f[0]), "0.3333333333");
    EXPECT_EQ(plat::window_text(f[1]), "100");
    EXPECT_EQ(plat::window_text(f[2]), "1.23456789e+12");
    EXPECT_EQ(user_.run([] { return MAV_SetInputBoxTitle(2, "Speed"); }), 0);
    EXPECT_EQ(plat::window_text(l[2]), "Speed");
    // Shift-JIS titles reach the label as their characters.
    user_.run([] { MAV_SetInputBoxTitle(1, "\x83\x51\x83\x43\x83\x93"); });  // "ゲイン"
    EXPECT_EQ(plat::window_text(l[1]), "\xE3\x82\xB2\xE3\x82\xA4\xE3\x83\xB3");
    EXPECT_EQ(user_.run([] { return MAV_SetInputBoxInt(4, 1); }), 1);
    EXPECT_EQ(user_.run([] { return MAV_SetInputBoxInt(-1, 1); }), 1);
    EXPECT_EQ(user_.run([] { return MAV_SetInputBoxTitle(4, "x"); }), 1);
    EXPECT_EQ(get_int(4), 0);
    EXPECT_EQ(get_double(-1), 0.0);
}

TEST_F(Boxes, ValuesReadLikeAtoiAndOutOfRangeNumbersStopAtTheLimits) {
    open_input(10, 10, 2);
    auto f = fields();
    select_field(f[0]);
    type("12abc");
    key(plat::key::Tab);
    EXPECT_EQ(get_int(0), 12);
    type("99999999999999");
    key(plat::key::Enter);
    EXPECT_EQ(get_int(1), INT_MAX);
    EXPECT_DOUBLE_EQ(get_double(1), 99999999999999.0);
}

TEST_F(Boxes, WithoutABoxEverythingIsRefusedQuietly) {
    EXPECT_EQ(user_.run([] { return MAV_CloseInputBox(); }), 1);
    EXPECT_EQ(user_.run([] { return MAV_SetInputBoxInt(0, 5); }), 1);
    EXPECT_EQ(get_int(0), 0);
    EXPECT_EQ(get_double(0), 0.0);
    EXPECT_EQ(user_.run([] { return MAV_CloseButtonBox(); }), 1);
    EXPECT_EQ(user_.run([] { return MAV_SetButtonBoxTitle(0, "x"); }), 1);
    EXPECT_EQ(pressed(0), 0);
    EXPECT_EQ(user_.run([] { return MAV_ResizeButtonBox(100, 100); }), 1);
    EXPECT_TRUE(plat::driver::shown_dialogs().empty());
}

TEST_F(Boxes, ClosingForgetsTheValues) {
    open_input(10, 10, 2);
    user_.run([] { MAV_SetInputBoxInt(0, 9); });
    EXPECT_EQ(get_int(0), 9);
    plat::Hwnd box = input_box();
    EXPECT_EQ(user_.run([] { return MAV_CloseInputBox(); }), 0);
    plat::driver::wait_idle();
    EXPECT_FALSE(plat::is_window(box));
    EXPECT_EQ(windows().input_box.load(), 0u);
    EXPECT_EQ(get_int(0), 0);
    open_input(10, 10, 2);
    EXPECT_EQ(get_int(0), 0);
    EXPECT_EQ(plat::window_text(fields()[0]), "0");
}

TEST_F(Boxes, WideningByTheRightBorderWidensFieldsAndByTheLeftBorderLabels) {
    open_input(200, 100, 2);
    plat::Hwnd box = input_box();
    plat::Rect before = plat::window_rect(box);
    plat::Point right = point_on(box, plat::Hit::Right);
    plat::driver::press_button(right);
    plat::driver::move_mouse({right.x + 40, right.y + 30});  // down as well: the height stays
    plat::driver::release_button({right.x + 40, right.y + 30});
    plat::driver::wait_idle();
    plat::Rect after = plat::window_rect(box);
    EXPECT_EQ(after.width(), before.width() + 40);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.bottom, before.bottom);
    plat::Point o = plat::client_origin(box);
    EXPECT_EQ(plat::window_rect(labels()[1]), plat::Rect::from_xywh(o.x + 4, o.y + 35, 80, 24));
    EXPECT_EQ(plat::window_rect(fields()[1]), plat::Rect::from_xywh(o.x + 88, o.y + 32, 110, 24));

    plat::Point left = point_on(box, plat::Hit::Left);
    plat::driver::press_button(left);
    plat::driver::move_mouse({left.x - 30, left.y});
    plat::driver::release_button({left.x - 30, left.y});
    plat::driver::wait_idle();
    EXPECT_EQ(plat::window_rect(box).left, before.left - 30);
    o = plat::client_origin(box);
    EXPECT_EQ(plat::window_rect(labels()[1]), plat::Rect::from_xywh(o.x + 4, o.y + 35, 110, 24));
    EXPECT_EQ(plat::window_rect(fields()[1]), plat::Rect::from_xywh(o.x + 118, o.y + 32, 110, 24));

    // Dragging the bottom border changes nothing.
    plat::Rect now = plat::window_rect(box);
    plat::Point bottom = point_on(box, plat::Hit::Bottom);
    plat::driver::press_button(bottom);
    plat::driver::move_mouse({bottom.x, bottom.y + 50});
    plat::driver::release_button({bottom.x, bottom.y + 50});
    plat::driver::wait_idle();
    EXPECT_EQ(plat::window_rect(box), now);

    // The widths outlive the box.
    user_.run([] { MAV_CloseInputBox(); });
    open_input(0, 0, 1);
    EXPECT_EQ(plat::client_rect(input_box()).width(), 110 + 110 + 12);
}

TEST_F(Boxes, ResizeInputBoxKeepsThePositionAndLaysOutAgain) {
    open_input(120, 130, 2);
    plat::Rect before = plat::window_rect(input_box());
    EXPECT_EQ(user_.run([] { return MAV_ResizeInputBox(120, 90); }), 0);
    plat::driver::wait_idle();
    plat::Rect after = plat::window_rect(input_box());
    EXPECT_EQ(after.top_left(), before.top_left());
    EXPECT_EQ(plat::client_rect(input_box()), (plat::Rect{0, 0, 120 + 90 + 12, 58}));
    plat::Point o = plat::client_origin(input_box());
    EXPECT_EQ(plat::window_rect(labels()[0]), plat::Rect::from_xywh(o.x + 4, o.y + 7, 120, 24));
    EXPECT_EQ(plat::window_rect(fields()[0]), plat::Rect::from_xywh(o.x + 128, o.y + 4, 90, 24));
    InputBoxLayout lay = user_.run([] { return input_box_layout(); });
    EXPECT_TRUE(lay.open);
    EXPECT_EQ(lay.label_width, 120);
    EXPECT_EQ(lay.field_width, 90);
    EXPECT_EQ(lay.items, 2);
    EXPECT_EQ(lay.titles, (std::vector<std::string>{"Item 0", "Item 1"}));
    // Nonsense widths are held at 1.
    user_.run([] { MAV_ResizeInputBox(0, -5); });
    EXPECT_EQ(plat::client_rect(input_box()).width(), 1 + 1 + 12);
}

TEST_F(Boxes, ActivationReturnsTheFocusToTheLastFieldAndSelectsTheFirst) {
    open_input(10, 10, 3);
    auto f = fields();
    select_field(f[2]);
    type("8");
    // Another window comes to the front: the field's value is taken.
    click(centre(plat::window_rect(main_)));
    EXPECT_EQ(plat::active_window(), main_);
    EXPECT_EQ(get_int(2), 8);
    // Back to the box by its caption.
    click(point_on(input_box(), plat::Hit::Caption));
    EXPECT_EQ(plat::active_window(), input_box());
    EXPECT_EQ(plat::focus_window(), f[2]);
    EXPECT_EQ(plat::edit_selection(f[0]).start, 0);
    EXPECT_EQ(plat::edit_selection(f[0]).end, 1);
    // A click on a label keeps the focus in the fields.
    click(centre(plat::window_rect(labels()[1])));
    EXPECT_EQ(plat::focus_window(), f[2]);
}

TEST_F(Boxes, DoubleClickOnARowRenamesItsLabelThroughTheTextWindow) {
    open_input(10, 10, 3);
    plat::Point row1 = centre(plat::window_rect(labels()[1]));
    plat::driver::click(row1);
    plat::driver::click(row1);
    answer("Gain");
    EXPECT_EQ(plat::window_text(labels()[1]), "Gain");
    EXPECT_TRUE(text_window(0).open.load());
    // An empty answer keeps the old text.
    plat::driver::click(row1);
    plat::driver::click(row1);
    answer("");
    EXPECT_EQ(plat::window_text(labels()[1]), "Gain");
}

TEST_F(Boxes, RenameAndDestroyMenusOfTheInputBox) {
    open_input(10, 10, 3);
    click(centre(plat::window_rect(labels()[2])), plat::MouseButton::Right);
    choose("Rename");
    answer("Offset");
    EXPECT_EQ(plat::window_text(labels()[2]), "Offset");
    EXPECT_EQ(plat::window_text(labels()[0]), "Item 0");
    click(point_on(input_box(), plat::Hit::Caption), plat::MouseButton::Right);
    choose("Destroy");
    EXPECT_TRUE(wait_until([&] { return !input_box(); }));
}

TEST_F(Boxes, TheCloseBoxClosesTheInputBox) {
    open_input(10, 10, 2);
    plat::Hwnd box = input_box();
    click(point_on(box, plat::Hit::CloseBox));
    EXPECT_TRUE(wait_until([&] { return !input_box() && !plat::is_window(box); }));
}

TEST_F(Boxes, ABoxWindowThatVanishedUnseenIsForgottenWithAnErrorBox) {
    open_input(10, 10, 2);
    user_.run([this] {
        plat::Hwnd box = input_box();
        plat::set_window_proc(box, nullptr);  // its destruction goes unseen
        plat::destroy_window(box);
        EXPECT_EQ(MAV_CloseInputBox(), 2);
    });
    EXPECT_EQ(windows().input_box.load(), 0u);
    auto shown = plat::driver::shown_dialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "MAVLIB Error!");
    EXPECT_EQ(shown[0].text, "DestroyWindow[IB] Error");
    open_buttons(10, 10, 1, 1);
    user_.run([this] {
        plat::Hwnd box = button_box();
        plat::set_window_proc(box, nullptr);
        plat::destroy_window(box);
        EXPECT_EQ(MAV_CloseButtonBox(), 2);
    });
    shown = plat::driver::shown_dialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].caption, "MAVLIB error!");
    EXPECT_EQ(shown[1].text, "DestroyWindow[BB] error");
    EXPECT_EQ(windows().button_box.load(), 0u);
}

// ---- Button box -----------------------------------------------------------

TEST_F(Boxes, ButtonGridLimits) {
    EXPECT_EQ(user_.run([] { return MAV_OpenButtonBox(0, 0, 17, 16); }), 2);
    EXPECT_FALSE(button_box());
    EXPECT_EQ(user_.run([] { return MAV_OpenButtonBox(0, 0, 0, 3); }), 2);
    EXPECT_EQ(user_.run([] { return MAV_OpenButtonBox(0, 0, 3, -1); }), 2);
    EXPECT_EQ(user_.run([] { return MAV_OpenButtonBox(0, 0, 65536, 65536); }), 2);
    EXPECT_FALSE(button_box());
    open_buttons(0, 0, 16, 16);
    EXPECT_EQ(children_where(button_box(), plat::is_button).size(), 256u);
    EXPECT_EQ(plat::window_text(button(255)), "255");
    EXPECT_EQ(user_.run([] { return MAV_OpenButtonBox(5, 5, 1, 1); }), 1);
}

TEST_F(Boxes, ButtonLayoutCaptionsAndIds) {
    open_buttons(30, 40, 3, 2);
    plat::Hwnd box = button_box();
    EXPECT_EQ(plat::class_name(box), "mav_bb");
    EXPECT_EQ(plat::window_text(box), "ButtonBox");
    EXPECT_EQ(plat::window_rect(box).top_left(), (plat::Point{30, 40}));
    EXPECT_EQ(plat::client_rect(box), (plat::Rect{0, 0, 310, 64}));
    plat::Point o = plat::client_origin(box);
    // Buttons of 98 x 26, numbered along the rows, 4 pixels apart and from the edges.
    const plat::Point at[6] = {{4, 4}, {106, 4}, {208, 4}, {4, 34}, {106, 34}, {208, 34}};
    for (int i = 0; i < 6; ++i) {
        plat::Hwnd b = button(i);
        ASSERT_TRUE(b) << i;
        EXPECT_EQ(plat::window_text(b), std::to_string(i));
        EXPECT_EQ(plat::window_rect(b), plat::Rect::from_xywh(o.x + at[i].x, o.y + at[i].y, 98, 26)) << i;
    }
    EXPECT_EQ(user_.run([] { return MAV_SetButtonBoxTitle(4, "Two\nlines"); }), 0);
    EXPECT_EQ(plat::window_text(button(4)), "Two\nlines");
    EXPECT_EQ(user_.run([] { return MAV_SetButtonBoxTitle(6, "x"); }), 1);
    ButtonBoxLayout lay = user_.run([] { return button_box_layout(); });
    EXPECT_EQ(lay.nx, 3);
    EXPECT_EQ(lay.ny, 2);
    EXPECT_EQ(lay.client, (plat::Size{310, 64}));
    EXPECT_EQ(lay.captions[4], "Two\nlines");
}

TEST_F(Boxes, PressesCountUntilPolledAndTheFocusReturnsToTheBox) {
    open_buttons(30, 40, 4, 2);
    plat::Point b3 = centre(plat::window_rect(button(3)));
    click(b3);
    click(b3);
    EXPECT_EQ(plat::focus_window(), button_box());
    EXPECT_EQ(pressed(3), 2);
    EXPECT_EQ(pressed(3), 0);
    EXPECT_EQ(pressed(2), 0);
    EXPECT_EQ(pressed(8), 0);
    EXPECT_EQ(pressed(-1), 0);
    // Counts start from nothing in a new box.
    click(b3);
    user_.run([] {
        MAV_CloseButtonBox();
        MAV_OpenButtonBox(30, 40, 4, 2);
    });
    EXPECT_EQ(pressed(3), 0);
}

TEST_F(Boxes, DigitKeysPressButtonsAndOtherKeysGoToTheMainWindow) {
    open_buttons(30, 40, 5, 2);
    ASSERT_EQ(plat::focus_window(), button_box());
    key(plat::key::Numpad0 + 7);
    key('7');
    key('0');
    EXPECT_EQ(pressed(7), 2);
    EXPECT_EQ(pressed(0), 1);
    key(plat::key::Space);
    key('Z');
    type("5");  // typed characters are not key presses
    EXPECT_EQ(pressed(5), 0);
    key('C');
    key('S');
    key(plat::key::Escape);
    key('X');
    key('C', true);
    auto fwd = main_keys();
    ASSERT_EQ(fwd.size(), 4u);
    EXPECT_EQ(fwd[0].key, 'C');
    EXPECT_EQ(fwd[1].key, 'S');
    EXPECT_EQ(fwd[2].key, plat::key::Escape);
    EXPECT_EQ(fwd[3].key, 'X');
    EXPECT_TRUE(button_box());
    key('Q', true);
    EXPECT_TRUE(wait_until([&] { return !button_box(); }));
}

TEST_F(Boxes, ParallaxKeyMapSetsCountsToOne) {
    user_.run([] { MAV_UseParallaxButtonKeys(1); });
    open_buttons(30, 40, 7, 6);  // 42 buttons
    ASSERT_EQ(plat::focus_window(), button_box());
    key('7');
    key('7');
    EXPECT_EQ(pressed(6), 1);  // set, not added
    EXPECT_EQ(pressed(7), 2);  // the two typed '7' characters add
    key('0');
    EXPECT_EQ(pressed(9), 1);  // the key 0 sets button 9
    EXPECT_EQ(pressed(0), 1);  // and the character '0' it types adds to button 0
    key(plat::key::Numpad0 + 7);
    EXPECT_EQ(pressed(7), 1);
    key(plat::key::Space);
    key(plat::key::Up);
    EXPECT_EQ(pressed(11), 1);
    // Only the main keyboard's minus key: neither the keypad's nor a typed '-'.
    key(plat::key::NumpadSubtract);
    type("-");
    EXPECT_EQ(pressed(10), 0);
    key(plat::key::Minus);
    key(plat::key::Minus);
    EXPECT_EQ(pressed(10), 1);
    const std::pair<int, int> letters[] = {{'Z', 22}, {'X', 23}, {'S', 36}, {'W', 37},
                                           {'Q', 38}, {'A', 39}, {'E', 40}, {'D', 41}};
    for (auto [k, b] : letters) {
        key(k);
        EXPECT_EQ(pressed(b), 1) << char(k);
    }
    key('Q', true);  // does not close the box here
    plat::driver::wait_idle();
    EXPECT_TRUE(button_box());
    key('C');
    key(plat::key::Escape);
    key('C', true);
    auto fwd = main_keys();
    ASSERT_EQ(fwd.size(), 2u);  // S and X stay in the box
    EXPECT_EQ(fwd[0].key, 'C');
    EXPECT_EQ(fwd[1].key, plat::key::Escape);
}

TEST_F(Boxes, ResizingTheButtonBoxSpreadsTheButtons) {
    open_buttons(100, 100, 3, 2);
    plat::Hwnd box = button_box();
    plat::Rect before = plat::window_rect(box);
    EXPECT_EQ(user_.run([] { return MAV_ResizeButtonBox(400, 100); }), 0);
    plat::driver::wait_idle();
    EXPECT_EQ(plat::window_rect(box).top_left(), before.top_left());
    EXPECT_EQ(plat::client_rect(box), (plat::Rect{0, 0, 400, 100}));
    // (400 - 16) / 3 = 128 wide, (100 - 12) / 2 = 44 high.
    plat::Point o = plat::client_origin(box);
    EXPECT_EQ(plat::window_rect(button(5)), plat::Rect::from_xywh(o.x + 2 * 132 + 4, o.y + 48 + 4, 128, 44));
    // By the border, as a person would.
    plat::Point corner = point_on(box, plat::Hit::BottomRight);
    plat::driver::press_button(corner);
    plat::driver::move_mouse({corner.x - 100, corner.y + 20});
    plat::driver::release_button({corner.x - 100, corner.y + 20});
    plat::driver::wait_idle();
    EXPECT_EQ(plat::client_rect(box), (plat::Rect{0, 0, 300, 120}));
    // (300 - 16) / 3 = 94 wide, (120 - 12) / 2 = 54 high.
    o = plat::client_origin(box);
    EXPECT_EQ(plat::window_rect(button(4)), plat::Rect::from_xywh(o.x + 98 + 4, o.y + 58 + 4, 94, 54));
    // The size is kept for the next box.
    user_.run([] {
        MAV_CloseButtonBox();
        MAV_OpenButtonBox(0, 0, 1, 1);
    });
    EXPECT_EQ(plat::client_rect(button_box()), (plat::Rect{0, 0, 94 + 8, 54 + 8}));
}

TEST_F(Boxes, RenameButtonsFromTheGapsAndTheDestroyMenu) {
    open_buttons(100, 100, 3, 2);
    plat::Point o = plat::client_origin(button_box());
    // The gap left of button 4 (column 1, row 1).
    plat::Point gap{o.x + 102 + 1, o.y + 30 + 10};
    click(gap, plat::MouseButton::Right);
    choose("Rename");
    answer("Focus");
    EXPECT_EQ(plat::window_text(button(4)), "Focus");
    double_click({o.x + 2, o.y + 2});
    answer("");
    EXPECT_EQ(plat::window_text(button(0)), "0");
    double_click({o.x + 2, o.y + 2});
    answer("Start");
    EXPECT_EQ(plat::window_text(button(0)), "Start");
    click(point_on(button_box(), plat::Hit::Caption), plat::MouseButton::Right);
    choose("Destroy\tCtrl+Q");
    EXPECT_TRUE(wait_until([&] { return !button_box(); }));
}

TEST_F(Boxes, TheCloseBoxClosesTheButtonBox) {
    open_buttons(100, 100, 2, 1);
    plat::Hwnd box = button_box();
    click(point_on(box, plat::Hit::CloseBox));
    EXPECT_TRUE(wait_until([&] { return !button_box() && !plat::is_window(box); }));
}

TEST_F(Boxes, RenamingWaitsWhileALineInputIsPending) {
    open_buttons(100, 100, 2, 1);
    frame().input_pending = 1;  // someone else waits for a line
    plat::Point o = plat::client_origin(button_box());
    double_click({o.x + 1, o.y + 1});
    plat::driver::wait_idle();
    EXPECT_FALSE(text_window(0).open.load());  // no prompt was made
    frame().input_pending = 0;
}

// ---- Requests ---------------------------------------------------------------

TEST_F(Boxes, RequestsReplaceAnOpenBoxByANewOneAtTheTopLeft) {
    open_input(300, 300, 2);
    plat::Hwnd old = input_box();
    user_.run([] {
        RequestSlot& s = request_slot();
        s.index = 5;
        s.code = kReqInputBox;
        s.done = 0;
        serve_request();
    });
    plat::driver::wait_idle();
    EXPECT_FALSE(plat::is_window(old));
    ASSERT_TRUE(input_box());
    EXPECT_NE(input_box(), old);
    EXPECT_EQ(fields().size(), 5u);
    EXPECT_EQ(plat::window_rect(input_box()).top_left(), (plat::Point{0, 0}));
    EXPECT_EQ(request_slot().done.load(), 1);

    open_buttons(300, 300, 1, 1);
    user_.run([] {
        RequestSlot& s = request_slot();
        s.width = 4;
        s.height = 3;
        s.code = kReqButtonBox;
        s.done = 0;
        serve_request();
    });
    plat::driver::wait_idle();
    ASSERT_TRUE(button_box());
    EXPECT_EQ(children_where(button_box(), plat::is_button).size(), 12u);
    EXPECT_EQ(plat::window_rect(button_box()).top_left(), (plat::Point{0, 0}));
}
