// Text windows driven as a person would: printing, wrapping, scrolling,
// colours, closing, and typed line input through the headless driver.
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>

#include "mavlib.h"
#include "plat/core/clipboard.h"
#include "plat/base/clock.h"
#include "plat/base/codepage.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "support/library_classes.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"
#include "text/text_window.h"

using namespace mav;

namespace {

constexpr plat::Color kWhite = 0xFFFFFF;
constexpr plat::Color kBlack = 0x000000;

class TextWindows : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::register_library_window_classes();
        frame().input_pending = 0;
        frame().quit_state = kQuitRunning;
    }
    void TearDown() override {
        ui_.run([] {
            for (int i = 0; i < kTextSlots; ++i) MAV_CloseTextWindow(i);
        });
        current_text_window() = 0;
    }

    // Opens window `no` on the UI thread (the user thread of a real program).
    void open(int no, int w = 400, int h = 300) {
        ASSERT_EQ(ui_.run([=] { return MAV_OpenTextWindow(no, 100, 100, w, h); }), 0);
    }
    void print(const std::string& sjis) {
        ui_.run([&] { MAV_Printf("%s", sjis.c_str()); });
    }
    TextWindow& tw(int no) { return text_window(no); }

    // A line of text as the fixed font draws it, white on `bg`, for comparing.
    plat::Surface reference_line(const std::string& utf8, int width, plat::Color bg = kBlack) {
        plat::Surface s(width, 16);
        s.fill(kBlack);
        plat::Dc dc(s);
        dc.fill_rect({0, 0, plat::FixedFont::instance().text_width(utf8), 16}, bg);
        dc.set_bk_mode(plat::BkMode::Transparent);
        dc.set_text_color(kWhite);
        dc.draw_text({0, 0}, utf8);
        return s;
    }
    bool line_equals(int no, int y, const plat::Surface& ref) {
        std::lock_guard lock(tw(no).m);
        for (int yy = 0; yy < 16; ++yy)
            for (int x = 0; x < ref.width(); ++x)
                if (tw(no).contents.pixel(x, y + yy) != ref.pixel(x, yy)) return false;
        return true;
    }
    bool band_is(int no, int y0, int y1, plat::Color c) {
        std::lock_guard lock(tw(no).m);
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < tw(no).width; ++x)
                if (tw(no).contents.pixel(x, y) != c) return false;
        return true;
    }

    // Starts MAV_InputText on the UI thread; the future gets the line.
    std::future<std::string> start_input() {
        auto promise = std::make_shared<std::promise<std::string>>();
        auto result = promise->get_future();
        ui_.post([promise] {
            char buf[260];
            std::memset(buf, 'x', sizeof buf);
            MAV_InputText(buf);
            promise->set_value(buf);
        });
        EXPECT_TRUE(testsupport::wait_until([] { return frame().input_pending.load() != 0; }, 5000));
        return result;
    }
    std::string finish(std::future<std::string>& f) {
        EXPECT_EQ(f.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        return f.get();
    }

    testsupport::UiThread ui_;
};

}  // namespace

TEST_F(TextWindows, FiftyNarrowCellsPerLineAndWideCharactersTakeTwo) {
    open(0);
    print(std::string(51, 'a'));
    EXPECT_EQ(tw(0).cursor_y, 16);
    EXPECT_EQ(tw(0).cursor_x, 8);
    EXPECT_TRUE(line_equals(0, 0, reference_line(std::string(50, 'a'), 400)));
    EXPECT_TRUE(line_equals(0, 16, reference_line("a", 8)));
    MAV_ClearTextWindow();
    std::string hiragana;
    for (int i = 0; i < 26; ++i) hiragana += "\x82\xa0";  // "あ" in Shift-JIS
    print(hiragana);
    EXPECT_EQ(tw(0).cursor_y, 16);  // 25 fit on the first line
    EXPECT_EQ(tw(0).cursor_x, 16);
}

TEST_F(TextWindows, RunsContinueAcrossCallsAndNewlineGoesHome) {
    open(0);
    print("abc");
    print("def\n");
    EXPECT_TRUE(line_equals(0, 0, reference_line("abcdef", 400)));
    EXPECT_EQ(tw(0).cursor_x, 0);
    EXPECT_EQ(tw(0).cursor_y, 16);
}

TEST_F(TextWindows, ScrollsOneLinePerNewlineAndFreesTheBandBlack) {
    open(0, 200, 64);  // four lines
    constexpr plat::Color kBlue = 0x0000FF;
    ui_.run([] { MAV_PushTextColor(0xFFFFFF, 0x0000FF); });
    print("L1\nL2\nL3\nL4\nL5\n");
    EXPECT_EQ(tw(0).cursor_y, 32);
    EXPECT_TRUE(line_equals(0, 0, reference_line("L4", 16, kBlue)));
    EXPECT_TRUE(line_equals(0, 16, reference_line("L5", 16, kBlue)));
    EXPECT_TRUE(band_is(0, 32, 64, kBlack));
}

TEST_F(TextWindows, ColourStacksAreEightDeep) {
    open(0);
    ui_.run([] {
        for (int i = 1; i <= 9; ++i) MAV_PushTextColor(0x010101 * i, 0x020202 * i);
        for (int i = 0; i < 9; ++i) MAV_PopTextColor();
    });
    EXPECT_EQ(tw(0).text_color, 0x010101);  // the first push's colours, not the initial ones
    EXPECT_EQ(tw(0).back_color, 0x020202);
    open(1);
    ui_.run([] { MAV_PopTextColor(); });
    EXPECT_EQ(tw(1).text_color, 0xFFFFFF);
    EXPECT_EQ(tw(1).back_color, 0x000000);
}

TEST_F(TextWindows, OpenSelectCloseAndTheCurrentWindow) {
    open(3);
    open(1);
    open(5);
    EXPECT_EQ(current_text_window().load(), 5);
    EXPECT_EQ(ui_.run([] { return MAV_OpenTextWindow(3, 0, 0, 10, 10); }), 1);  // already open: made current
    EXPECT_EQ(current_text_window().load(), 3);
    EXPECT_EQ(MAV_SelectTextWindow(2), 1);
    EXPECT_EQ(MAV_SelectTextWindow(256), 1);
    EXPECT_EQ(MAV_CloseTextWindow(300), 1);
    EXPECT_EQ(ui_.run([] { return MAV_CloseTextWindow(3); }), 0);
    EXPECT_EQ(current_text_window().load(), 1);  // the lowest open one
    EXPECT_EQ(MAV_CloseTextWindow(3), 1);
    // Printing with the current window closed does nothing.
    ui_.run([] {
        MAV_CloseTextWindow(1);
        MAV_CloseTextWindow(5);
    });
    EXPECT_EQ(MAV_Printf("nothing"), 0);
}

TEST_F(TextWindows, DefaultSizeAndResizingClears) {
    ASSERT_EQ(ui_.run([] { return MAV_OpenTextWindow(0, -1, -1, -1, -1); }), 0);
    plat::Hwnd h = tw(0).window;
    EXPECT_EQ(plat::client_rect(h), (plat::Rect{0, 0, 400, 300}));
    print("text\nmore");
    plat::Rect r = plat::window_rect(h);
    ui_.run([&] { plat::set_window_rect(h, plat::Rect::from_xywh(r.left, r.top, r.width() + 40, r.height())); });
    EXPECT_EQ(tw(0).width, 440);
    EXPECT_EQ(tw(0).cursor_y, 0);
    EXPECT_TRUE(band_is(0, 0, 300, kBlack));
}

TEST_F(TextWindows, PopupMenuOpensOnRightClicksInTheClientAreaOnly) {
    open(0);
    plat::Hwnd h = tw(0).window;
    auto menu_open = [] { return plat::driver::open_menu_item("Start Log").has_value(); };
    for (plat::Hit part : {plat::Hit::Caption, plat::Hit::Right, plat::Hit::BottomLeft}) {
        plat::Point p = testsupport::point_on(h, part);
        ASSERT_NE(p, (plat::Point{-1, -1}));
        plat::driver::click(p, plat::MouseButton::Right);
        ASSERT_TRUE(plat::driver::wait_idle());
        EXPECT_FALSE(menu_open()) << "right click on frame part " << int(part);
        if (menu_open()) plat::driver::press_key(plat::key::Escape);
        ASSERT_TRUE(testsupport::wait_until([&] { return !menu_open(); }));
    }
    plat::driver::click(plat::client_origin(h).translated(20, 20), plat::MouseButton::Right);
    EXPECT_TRUE(testsupport::wait_until(menu_open));
    plat::driver::press_key(plat::key::Escape);
    EXPECT_TRUE(testsupport::wait_until([&] { return !menu_open(); }));
    ASSERT_TRUE(plat::driver::wait_idle());
}

TEST_F(TextWindows, TypedLineIsReturnedAndTheStatusFlagClears) {
    open(0);
    auto line = start_input();
    plat::driver::type_text("hello world\n");
    EXPECT_EQ(finish(line), "hello world");
    EXPECT_EQ(frame().input_pending.load(), 0);
    EXPECT_EQ(tw(0).cursor_y, 16);
}

TEST_F(TextWindows, LineKeepsTheFirst255Characters) {
    open(0);
    auto line = start_input();
    std::string typed;
    for (int i = 0; i < 300; ++i) typed += char('a' + i % 26);
    // The ring holds 256 units: feed it in pieces, letting the reader drain.
    for (std::size_t i = 0; i < typed.size(); i += 50) {
        plat::driver::type_text(typed.substr(i, 50));
        ASSERT_TRUE(plat::driver::wait_idle());
        plat::sleep_ms(20);
    }
    plat::driver::type_text("\n");
    EXPECT_EQ(finish(line), typed.substr(0, 255));
}

TEST_F(TextWindows, BackspaceAcrossAWrappedLineReturnsToThePreviousLine) {
    open(0, 80, 200);  // ten cells: the tenth character ends the line
    auto line = start_input();
    plat::driver::type_text("123456789AB");
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::sleep_ms(20);
    EXPECT_EQ(tw(0).cursor_y, 16);
    EXPECT_EQ(tw(0).cursor_x, 8);
    plat::driver::press_key(plat::key::Backspace);
    plat::driver::press_key(plat::key::Backspace);
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::sleep_ms(20);
    EXPECT_EQ(tw(0).cursor_y, 0);
    EXPECT_EQ(tw(0).cursor_x, 72);  // where the tenth character stood
    plat::driver::press_key(plat::key::Backspace);
    plat::driver::type_text("Z\n");
    EXPECT_EQ(finish(line), "12345678Z");
}

TEST_F(TextWindows, BackspaceOverAWideCharacterThatWrapped) {
    open(0, 80, 200);
    auto line = start_input();
    // Nine narrow cells leave one: the wide character moves to the next line.
    plat::driver::type_text("123456789");
    plat::driver::type_text("\xe3\x81\x82");  // "あ"
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::sleep_ms(20);
    EXPECT_EQ(tw(0).cursor_y, 16);
    EXPECT_EQ(tw(0).cursor_x, 16);
    plat::driver::press_key(plat::key::Backspace);
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::sleep_ms(20);
    EXPECT_EQ(tw(0).cursor_y, 0);
    EXPECT_EQ(tw(0).cursor_x, 72);  // back at the end of the first line
    plat::driver::type_text("\n");
    EXPECT_EQ(finish(line), "123456789");
}

TEST_F(TextWindows, UpRecallsTheLastLineAndCtrlVPastesOnlyTheFirstLine) {
    open(0);
    auto first = start_input();
    plat::driver::type_text("again\n");
    EXPECT_EQ(finish(first), "again");
    auto second = start_input();
    plat::driver::press_key(plat::key::Up);
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::sleep_ms(20);
    plat::driver::type_text("!\n");
    EXPECT_EQ(finish(second), "again!");
    plat::clipboard::set_text(u"first line\r\nsecond line");
    auto third = start_input();
    plat::driver::press_key('V', true);
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::sleep_ms(20);
    plat::driver::type_text("\n");
    EXPECT_EQ(finish(third), "first line");
}

TEST_F(TextWindows, JapaneseInputComesBackAsShiftJis) {
    open(0);
    auto line = start_input();
    plat::driver::type_text("\xe6\x97\xa5\xe6\x9c\xac\n");  // "日本" in UTF-8
    EXPECT_EQ(finish(line), "\x93\xfa\x96\x7b");
}

TEST_F(TextWindows, ClosingTheWindowCancelsItsInput) {
    open(0);
    open(1);
    auto line = start_input();  // on window 1, the current one
    plat::driver::type_text("abc");
    ASSERT_TRUE(plat::driver::wait_idle());
    ui_.post([] { MAV_CloseTextWindow(1); });
    EXPECT_EQ(finish(line), "");
    EXPECT_EQ(current_text_window().load(), 0);
}
