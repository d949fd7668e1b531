// Controls driven as a person would through the headless driver: the edit
// field, the push button and the dialog keys between them, with pixel checks
// of how they look.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "plat/core/clipboard.h"
#include "plat/base/codepage.h"
#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/gfx/ui_font.h"
#include "plat/core/window.h"
#include "support/ui_helpers.h"

using namespace plat;
using testsupport::wait_until;

namespace {

constexpr const char* kParentClass = "controls_test_parent";
constexpr Color kWhite = 0xFFFFFF;
constexpr Color kShadow = 0x808080;
constexpr Color kDark = 0x404040;
constexpr Color kFace = 0xD4D0C8;
constexpr Color kHighlight = 0x0A246A;

// What the parent heard from its controls, and the keys that reached it.
struct Heard {
    std::mutex m;
    std::vector<Message> commands;
    std::vector<int> keys;

    std::vector<Message> all() {
        std::lock_guard lock(m);
        return commands;
    }
    int count(int id, int code) {
        std::lock_guard lock(m);
        int n = 0;
        for (auto& c : commands)
            if (c.command_id == id && c.notify == code) ++n;
        return n;
    }
    void clear() {
        std::lock_guard lock(m);
        commands.clear();
        keys.clear();
    }
};
Heard g_heard;

// A thread that pumps its queue as a program with dialogs does: each message
// is offered to the dialog keys of `dialog` first.
class DialogThread {
public:
    DialogThread() {
        std::promise<void> ready;
        auto started = ready.get_future();
        thread_ = std::thread([this, &ready] {
            runner_ = make_runner();
            ready.set_value();
            Message m;
            while (get_message(m)) {
                if (m.kind == MsgKind::User && m.window == runner_) {
                    auto* fn = reinterpret_cast<std::function<void()>*>(m.param);
                    (*fn)();
                    delete fn;
                    continue;
                }
                Hwnd d{dialog.load()};
                if (d && handle_dialog_key(d, m)) continue;
                translate_message(m);
                dispatch_message(m);
            }
            destroy_window(runner_);
        });
        started.wait();
    }
    ~DialogThread() {
        run([] { post_quit_message(0); });
        thread_.join();
    }
    template <typename F>
    auto run(F fn) -> decltype(fn()) {
        auto task = std::make_shared<std::packaged_task<decltype(fn())()>>(std::move(fn));
        auto result = task->get_future();
        Message m;
        m.window = runner_;
        m.kind = MsgKind::User;
        m.param = reinterpret_cast<std::intptr_t>(new std::function<void()>([task] { (*task)(); }));
        post_message(m);
        return result.get();
    }
    std::atomic<std::uint32_t> dialog{0};

private:
    static Hwnd make_runner() {
        if (!class_registered("controls_test_runner")) {
            WindowClass c;
            c.name = "controls_test_runner";
            register_class(c);
        }
        CreateParams p;
        p.class_name = "controls_test_runner";
        p.style = 0;
        p.rect = {0, 0, 1, 1};
        return create_window(p);
    }
    std::thread thread_;
    Hwnd runner_;
};

void register_parent_class() {
    if (class_registered(kParentClass)) return;
    WindowClass c;
    c.name = kParentClass;
    c.proc = [](Message& m) {
        if (m.kind == MsgKind::Command) {
            std::lock_guard lock(g_heard.m);
            g_heard.commands.push_back(m);
            return true;
        }
        if (m.kind == MsgKind::KeyDown) {
            std::lock_guard lock(g_heard.m);
            g_heard.keys.push_back(m.key);
            return true;
        }
        return false;
    };
    register_class(c);
}

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        g_heard.clear();
        parent = ui.run([] {
            register_parent_class();
            CreateParams p;
            p.class_name = kParentClass;
            p.title = "Controls";
            p.style = style::Overlapped | style::Visible;
            p.rect = Rect::from_xywh(300, 200, 320, 200);
            Hwnd h = create_window(p);
            set_foreground(h);
            return h;
        });
        ui.dialog = parent.id;
        driver::wait_idle();
    }
    void TearDown() override {
        ui.dialog = 0;
        ui.run([this] { destroy_window(parent); });
        release_capture();
        driver::wait_idle();
    }

    Hwnd edit(Rect r, const char* text, int id) {
        return ui.run([&] { return create_edit(parent, r, text, id); });
    }
    Hwnd button(Rect r, const char* caption, int id, std::uint32_t extra = 0) {
        return ui.run([&] { return create_button(parent, r, caption, id, extra); });
    }
    // A screen point inside a control, `dx` from its left edge.
    static Point at(Hwnd h, int dx) {
        Rect r = window_rect(h);
        return {r.left + dx, r.top + r.height() / 2};
    }
    static Point centre(Hwnd h) {
        Rect r = window_rect(h);
        return {r.left + r.width() / 2, r.top + r.height() / 2};
    }
    void click(Point p) {
        driver::click(p);
        driver::wait_idle();
    }
    void key(int k, bool ctrl = false, bool shift = false) {
        driver::press_key(k, ctrl, shift);
        driver::wait_idle();
    }
    void type(const char* text) {
        driver::type_text(text);
        driver::wait_idle();
    }
    // The control's pixels as the screen shows them.
    Surface pixels(Hwnd h) { return testsupport::shown_pixels(parent, h); }

    DialogThread ui;
    Hwnd parent;
};

}  // namespace

TEST_F(Controls, EditTakesTypingAtTheCaretAndTellsItsParent) {
    Hwnd e = edit(Rect::from_xywh(10, 10, 150, 24), "abc", 7);
    click(at(e, 140));  // past the text: the caret goes to its end
    EXPECT_EQ(focus_window(), e);
    EXPECT_EQ(g_heard.count(7, notify::SetFocus), 1);
    EXPECT_EQ(edit_selection(e).caret, 3);
    type("de");
    EXPECT_EQ(window_text(e), "abcde");
    EXPECT_EQ(g_heard.count(7, notify::Change), 2);
    key(key::Left);
    key(key::Left);
    type("X");
    EXPECT_EQ(window_text(e), "abcXde");
    key(key::Backspace);
    key(key::Delete);
    EXPECT_EQ(window_text(e), "abce");
    key(key::Home);
    key(key::End, false, true);
    EXPECT_EQ(edit_selection(e).start, 0);
    EXPECT_EQ(edit_selection(e).end, 4);
    type("new");  // typing replaces the selection
    EXPECT_EQ(window_text(e), "new");
    // Words: Ctrl+Left goes to the start of the word, Ctrl+Shift+Right selects it.
    type(" words");
    key(key::Left, true);
    EXPECT_EQ(edit_selection(e).caret, 4);
    key(key::Right, true, true);
    EXPECT_EQ(edit_selection(e).start, 4);
    EXPECT_EQ(edit_selection(e).end, 9);
    // Control characters are not text.
    driver::type_text("\t");
    driver::wait_idle();
    EXPECT_EQ(window_text(e), "new words");
}

TEST_F(Controls, ClickPlacesTheCaretAndDragSelects) {
    Hwnd e = edit(Rect::from_xywh(10, 10, 150, 24), "abcdefgh", 1);
    // Text starts 3 pixels in; each character is 8 wide. Between c and d:
    click(at(e, 3 + 3 * 8 + 2));
    EXPECT_EQ(edit_selection(e).caret, 3);
    driver::press_button(at(e, 3 + 1 * 8 + 1));
    driver::move_mouse(at(e, 3 + 6 * 8 - 1));
    driver::release_button(at(e, 3 + 6 * 8 - 1));
    driver::wait_idle();
    EditSelection s = edit_selection(e);
    EXPECT_EQ(s.start, 1);
    EXPECT_EQ(s.end, 6);
    EXPECT_EQ(capture_window(), Hwnd{});
}

TEST_F(Controls, DoubleClickSelectsTheWordUnderThePointer) {
    // Characters are 8 pixels wide from 3 pixels in; a word runs to the next blank.
    Hwnd e = edit(Rect::from_xywh(10, 10, 250, 24), "gain 23.006  next", 1);
    struct Case {
        int column;  // of the character double-clicked
        int start, end;
    };
    const Case cases[] = {{1, 0, 4}, {7, 5, 11}, {10, 5, 11}, {12, 11, 13}, {16, 13, 17}, {25, 13, 17}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        const Point p = at(e, 3 + c.column * 8 + 6);  // the right part of the character
        click(p);
        click(p);
        EXPECT_EQ(edit_selection(e).start, c.start);
        EXPECT_EQ(edit_selection(e).end, c.end);
        click(at(e, 3));  // a single click later only places the caret
        EXPECT_EQ(edit_selection(e).start, edit_selection(e).end);
    }
    // Typing replaces the word chosen so.
    click(at(e, 3 + 7 * 8));
    click(at(e, 3 + 7 * 8));
    type("42");
    EXPECT_EQ(window_text(e), "gain 42  next");
}

TEST_F(Controls, ClipboardKeysCopyCutAndPasteTheFirstLine) {
    Hwnd e = edit(Rect::from_xywh(10, 10, 200, 24), "copy me", 1);
    click(at(e, 5));
    key('A', true);
    key('C', true);
    ASSERT_TRUE(clipboard::text().has_value());
    EXPECT_EQ(utf16_to_utf8(*clipboard::text()), "copy me");
    key(key::End);
    key('V', true);
    EXPECT_EQ(window_text(e), "copy mecopy me");
    clipboard::set_text(u"one\r\ntwo");
    key(key::Insert, false, true);
    EXPECT_EQ(window_text(e), "copy mecopy meone");
    key(key::Home);
    key(key::Right, false, true);
    key(key::Right, false, true);
    key('X', true);
    EXPECT_EQ(window_text(e), "py mecopy meone");
    EXPECT_EQ(utf16_to_utf8(*clipboard::text()), "co");
}

TEST_F(Controls, LongTextScrollsToKeepTheCaretInView) {
    Hwnd e = edit(Rect::from_xywh(10, 10, 46, 24), "", 1);  // 40 pixels of text: five characters
    click(at(e, 5));
    type("abcdefghijkl");
    EXPECT_EQ(edit_scroll(e), 12 * 8 + 1 - 40);
    key(key::Home);
    EXPECT_EQ(edit_scroll(e), 0);
    key(key::End);
    EXPECT_GT(edit_scroll(e), 0);
    // The last character shows, the first does not.
    Surface s = pixels(e);
    auto ink = [&](int x0, int x1) {
        for (int y = 4; y < 20; ++y)
            for (int x = x0; x < x1; ++x)
                if (s.pixel(x, y) == 0) return true;
        return false;
    };
    EXPECT_TRUE(ink(30, 42));
    set_edit_text(e, "x");
    EXPECT_EQ(edit_scroll(e), 0);
    EXPECT_EQ(edit_selection(e).caret, 0);
}

TEST_F(Controls, FocusMovingBetweenFieldsTellsTheParentBothWays) {
    Hwnd a = edit(Rect::from_xywh(10, 10, 100, 24), "a", 11);
    Hwnd b = edit(Rect::from_xywh(10, 40, 100, 24), "b", 12);
    click(centre(a));
    click(centre(b));
    EXPECT_EQ(g_heard.count(11, notify::SetFocus), 1);
    EXPECT_EQ(g_heard.count(11, notify::KillFocus), 1);
    EXPECT_EQ(g_heard.count(12, notify::SetFocus), 1);
    EXPECT_EQ(g_heard.count(12, notify::KillFocus), 0);
    for (const Message& m : g_heard.all()) EXPECT_EQ(m.source, m.command_id == 11 ? a : b);
}

TEST_F(Controls, EditLooksSunkenWithCaretAndSelection) {
    Hwnd e = edit(Rect::from_xywh(10, 10, 100, 24), "abcd", 1);
    Surface idle = pixels(e);
    EXPECT_EQ(idle.pixel(0, 0), kShadow);
    EXPECT_EQ(idle.pixel(1, 1), kDark);
    EXPECT_EQ(idle.pixel(99, 23), kWhite);
    EXPECT_EQ(idle.pixel(98, 22), kFace);
    EXPECT_EQ(idle.pixel(50, 12), kWhite);
    // Unfocused: no caret at the text's start column.
    EXPECT_EQ(idle.pixel(3, 12), kWhite);
    click(at(e, 2));
    Surface focused = pixels(e);
    EXPECT_EQ(focused.pixel(3, 12), 0u);  // the caret before 'a'
    key(key::End, false, true);
    Surface selected = pixels(e);
    EXPECT_EQ(selected.pixel(3 + 4 * 8 - 1, 5), kHighlight);
    EXPECT_EQ(selected.pixel(3 + 4 * 8 + 2, 5), kWhite);
}

TEST_F(Controls, ButtonClicksOnlyWhenReleasedOverIt) {
    Hwnd b = button(Rect::from_xywh(20, 20, 98, 26), "Go", 3005);
    click(centre(b));
    EXPECT_EQ(g_heard.count(3005, notify::Clicked), 1);
    // Pressed, dragged off and released: no click.
    driver::press_button(centre(b));
    driver::wait_idle();
    Surface down = pixels(b);
    EXPECT_EQ(down.pixel(0, 0), kDark);
    driver::move_mouse({centre(b).x + 200, centre(b).y});
    driver::wait_idle();
    EXPECT_EQ(pixels(b).pixel(0, 0), kWhite);  // raised again while the mouse is off it
    driver::release_button({centre(b).x + 200, centre(b).y});
    driver::wait_idle();
    EXPECT_EQ(g_heard.count(3005, notify::Clicked), 1);
    // Two quick clicks are two clicks.
    click(centre(b));
    click(centre(b));
    EXPECT_EQ(g_heard.count(3005, notify::Clicked), 3);
}

TEST_F(Controls, ButtonLooksRaisedAndShowsItsCaptionAsWholeCentredLines) {
    struct Case {
        const char* caption;
        int height;
        int lines;  // shown
    };
    const Case cases[] = {{"AB\nC", 50, 2}, {"leftmost rightmost", 50, 2}, {"one\ntwo\nthree", 40, 2},
                          {"one two three four five six seven", 26, 1}};
    const int pitch = UiFont::instance().line_height();
    Hwnd b = button(Rect::from_xywh(20, 20, 98, 26), "", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        ui.run([&] {
            set_window_rect(b, Rect::from_xywh(20, 20, 98, c.height));
            set_window_text(b, c.caption);
        });
        driver::wait_idle();
        Surface s = pixels(b);
        EXPECT_EQ(s.pixel(0, 0), kWhite);
        EXPECT_EQ(s.pixel(97, c.height - 1), kDark);
        // Each line's ink lies in its own line of a centred block, clear of the
        // edges that would cut it, and is centred across.
        const int top = (c.height - c.lines * pitch) / 2;
        for (int i = 0; i < c.lines; ++i) {
            const Rect line{0, top + i * pitch, 98, top + (i + 1) * pitch};
            int left = 98, right = -1;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < 98; ++x)
                    if (s.pixel(x, y) == 0 && line.contains({x, y})) left = std::min(left, x), right = std::max(right, x);
            EXPECT_LE(std::abs(left - (97 - right)), 2) << "line " << i;
        }
        long outside = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < 98; ++x)
                outside += s.pixel(x, y) == 0 && (y < std::max(top, 3) || y >= std::min(top + c.lines * pitch, c.height - 3));
        EXPECT_EQ(outside, 0);
    }
}

TEST_F(Controls, FocusedButtonShowsADottedRectangleAndSpaceClicksIt) {
    Hwnd b = button(Rect::from_xywh(20, 20, 98, 26), "Go", 9);
    click(centre(b));
    Surface s = pixels(b);
    EXPECT_EQ(s.pixel(3, 3), 0u);
    EXPECT_EQ(s.pixel(4, 3), kFace);
    g_heard.clear();
    key(key::Space);
    EXPECT_EQ(g_heard.count(9, notify::Clicked), 1);
}

TEST_F(Controls, TabAndShiftTabGoRoundTheTabStopsSelectingFields) {
    Hwnd a = edit(Rect::from_xywh(10, 10, 100, 24), "first", 1);
    ui.run([&] { create_label(parent, Rect::from_xywh(120, 10, 60, 24), "label", 5); });
    Hwnd b = edit(Rect::from_xywh(10, 40, 100, 24), "second", 2);
    Hwnd skipped = button(Rect::from_xywh(10, 70, 60, 24), "no stop", 3);
    Hwnd c = button(Rect::from_xywh(80, 70, 60, 24), "stop", 4, ctl::TabStop);
    click(at(a, 5));
    key(key::Tab);
    EXPECT_EQ(focus_window(), b);
    EXPECT_EQ(edit_selection(b).start, 0);
    EXPECT_EQ(edit_selection(b).end, 6);
    key(key::Tab);
    EXPECT_EQ(focus_window(), c);
    key(key::Tab);
    EXPECT_EQ(focus_window(), a);
    key(key::Tab, false, true);
    EXPECT_EQ(focus_window(), c);
    EXPECT_NE(focus_window(), skipped);
    // Tab never reaches a field as text.
    EXPECT_EQ(window_text(a), "first");
    EXPECT_EQ(window_text(b), "second");
}

TEST_F(Controls, ArrowsMoveBetweenControlsButEditsKeepLeftAndRight) {
    Hwnd a = edit(Rect::from_xywh(10, 10, 100, 24), "one", 1);
    Hwnd b = button(Rect::from_xywh(10, 40, 60, 24), "b", 2);
    Hwnd c = button(Rect::from_xywh(80, 40, 60, 24), "c", 3);
    click(at(a, 60));
    key(key::Left);
    EXPECT_EQ(focus_window(), a);
    EXPECT_EQ(edit_selection(a).caret, 2);
    key(key::Down);
    EXPECT_EQ(focus_window(), b);
    key(key::Right);
    EXPECT_EQ(focus_window(), c);
    key(key::Right);
    EXPECT_EQ(focus_window(), a);  // round again
    key(key::Up);
    EXPECT_EQ(focus_window(), c);
    // With the focus on the window itself, arrows are its own.
    ui.run([&] { set_focus(parent); });
    driver::wait_idle();
    key(key::Up);
    EXPECT_EQ(focus_window(), parent);
    std::lock_guard lock(g_heard.m);
    ASSERT_FALSE(g_heard.keys.empty());
    EXPECT_EQ(g_heard.keys.back(), key::Up);
}

TEST_F(Controls, EnterIsTheDefaultCommandOrClicksTheFocusedButton) {
    Hwnd a = edit(Rect::from_xywh(10, 10, 100, 24), "x", 1);
    Hwnd b = button(Rect::from_xywh(10, 40, 60, 24), "b", 2, ctl::TabStop);
    click(at(a, 5));
    g_heard.clear();
    key(key::Enter);
    auto heard = g_heard.all();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].command_id, kIdOk);
    EXPECT_EQ(heard[0].notify, 0);
    EXPECT_FALSE(heard[0].source);
    EXPECT_EQ(window_text(a), "x");  // no line break in a single-line field
    key(key::Tab);
    ASSERT_EQ(focus_window(), b);
    g_heard.clear();
    key(key::Enter);
    EXPECT_EQ(g_heard.count(2, notify::Clicked), 1);
    EXPECT_EQ(g_heard.count(kIdOk, 0), 0);
}

TEST(DialogKeys, LeaveOtherWindowsAndOtherMessagesAlone) {
    Message m;
    m.kind = MsgKind::KeyDown;
    m.key = key::Tab;
    EXPECT_FALSE(handle_dialog_key(Hwnd{}, m));
    m.window = Hwnd{123456};
    EXPECT_FALSE(handle_dialog_key(Hwnd{654321}, m));
    m.window = Hwnd{654321};
    m.kind = MsgKind::Char;
    EXPECT_FALSE(handle_dialog_key(Hwnd{654321}, m));
}
