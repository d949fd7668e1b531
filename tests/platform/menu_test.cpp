// Popup menus tracked modally and menu bars of top-level windows, driven with
// the mouse and keys as a person would.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "decoration.h"
#include "plat/driver/driver.h"
#include "plat/ui/popup_menu.h"
#include "plat/core/keys.h"
#include "plat/core/menu.h"
#include "plat/core/metrics.h"
#include "plat/platform.h"
#include "plat/core/window.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"

using namespace plat;
using testsupport::Recorder;
using testsupport::wait_until;

namespace {

constexpr const char* kClass = "menu_test_owner";

std::vector<Hwnd> popups() {
    std::vector<Hwnd> out;
    for (Hwnd h : top_level_windows())
        if (class_name(h) == "plat_popup") out.push_back(h);
    return out;
}

// Screen rectangle of an item of the open menu, by its shown text.
Rect item(const char* text) {
    auto r = driver::open_menu_item(text);
    EXPECT_TRUE(r.has_value()) << "no open menu item \"" << text << '"';
    return r.value_or(Rect{-10, -10, -9, -9});
}

Point centre(Rect r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class MenuTestBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (class_registered(kClass)) return;
        WindowClass c;
        c.name = kClass;
        register_class(c);
    }

    void TearDown() override {
        if (!popups().empty()) {
            driver::press_key(key::Escape);
            driver::press_key(key::Escape);
        }
        ui.run([this] {
            for (Hwnd h : windows) destroy_window(h);
        });
        EXPECT_TRUE(wait_until([] { return popups().empty(); }));
        release_capture();
        driver::wait_idle();
    }

    Hwnd make(Rect r, MenuPtr bar = nullptr, std::function<bool(Message&)> extra = nullptr) {
        Hwnd h = ui.run([&] {
            CreateParams p;
            p.class_name = kClass;
            p.title = "Owner";
            p.style = style::Overlapped | style::Visible;
            p.rect = r;
            p.menu = bar;
            Hwnd w = create_window(p);
            set_window_proc(w, [rec = rec, extra](Message& m) {
                rec->add(m);
                return extra ? extra(m) : false;
            });
            set_foreground(w);  // as the click that led to the menu would
            return w;
        });
        windows.push_back(h);
        EXPECT_TRUE(driver::wait_idle());
        return h;
    }

    std::shared_ptr<Recorder> rec =
        std::make_shared<Recorder>(std::vector<MsgKind>{MsgKind::Command, MsgKind::User});
    // What a tracked menu returned; before `ui` so that they outlive its thread.
    std::atomic<int> result{-1};
    std::atomic<bool> done{false};
    testsupport::UiThread ui;
    std::vector<Hwnd> windows;
};

class PopupMenu : public MenuTestBase {
protected:
    // Starts tracking `menu` at `at` on the UI thread and waits until it shows.
    void open(MenuPtr menu, Point at) {
        owner = make({40, 40, 700, 560});
        ui.post([this, menu, at] {
            result = track_popup_menu(*menu, at, owner);
            done = true;
        });
        ASSERT_TRUE(wait_until([] { return !popups().empty(); }));
        ASSERT_TRUE(driver::wait_idle());
    }

    Hwnd owner;
};

MenuPtr file_menu() {
    auto m = Menu::create();
    m->add("&Open", 11).add("&Save\tCtrl+S", 12).add_separator().add("E&xit", 13);
    return m;
}

}  // namespace

TEST_F(PopupMenu, ClickingAnItemReturnsItsCommand) {
    auto menu = file_menu();
    open(menu, {200, 150});
    ASSERT_EQ(popups().size(), 1u);
    Hwnd p = popups()[0];
    EXPECT_EQ(window_rect(p).top_left(), (Point{200, 150}));
    EXPECT_TRUE(window_rect(p).contains(centre(item("Save"))));
    driver::click(centre(item("Save\tCtrl+S")));
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 12);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(popups().empty());
    EXPECT_TRUE(rec->of(MsgKind::Command).empty());  // the caller gets the command, not the owner
}

TEST_F(PopupMenu, GreyedItemsAndSeparatorsAreNotChosen) {
    auto menu = file_menu();
    menu->items[0].grayed = true;
    open(menu, {200, 150});
    driver::click(centre(item("Open")));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(done);
    // The separator lies between Save and Exit.
    Rect save = item("Save"), exit = item("Exit");
    ASSERT_LT(save.bottom, exit.top);
    driver::click({(save.left + save.right) / 2, (save.bottom + exit.top) / 2});
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(done);
    EXPECT_EQ(popups().size(), 1u);
    driver::press_key(key::Escape);
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 0);
}

TEST_F(PopupMenu, ClickingOutsideDismisses) {
    auto menu = file_menu();
    open(menu, {200, 150});
    driver::click({600, 500});
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 0);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(popups().empty());
    EXPECT_EQ(capture_window(), Hwnd{});
}

TEST_F(PopupMenu, KeyboardSkipsSeparatorsAndGreyedItems) {
    auto menu = Menu::create();
    menu->add("One", 1).add_separator().add("Two", 2).add("Three", 3).add("Four", 4);
    menu->items[2].grayed = true;
    open(menu, {200, 150});
    driver::press_key(key::Down);  // One
    driver::press_key(key::Down);  // past the separator and Two: Three
    driver::press_key(key::Enter);
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 3);
}

TEST_F(PopupMenu, UpFromTheTopWrapsToTheLastChoosableItem) {
    auto menu = Menu::create();
    menu->add("One", 1).add("Two", 2).add("Three", 3).add_separator();
    open(menu, {200, 150});
    driver::press_key(key::Up);
    driver::press_key(key::Enter);
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 3);
}

TEST_F(PopupMenu, SubmenuOpensOnHoverAndItsItemCanBeChosen) {
    auto sub = Menu::create();
    sub->add("Red", 21).add("Green", 22);
    auto menu = Menu::create();
    menu->add("Plain", 1).add_submenu("&Colour", sub).add("Last", 2);
    open(menu, {200, 150});
    Hwnd p = popups()[0];
    driver::move_mouse(centre(item("Colour")));
    ASSERT_TRUE(driver::wait_idle());
    ASSERT_EQ(popups().size(), 2u);
    Hwnd s = popups()[1];
    EXPECT_GE(window_rect(s).left, window_rect(p).right - 4);  // beside its parent
    Point green = centre(item("Green"));
    EXPECT_TRUE(window_rect(s).contains(green));
    driver::move_mouse(green);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(popups().size(), 2u);  // still open over its own items
    driver::click(green);
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 22);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(popups().empty());
}

TEST_F(PopupMenu, RightAndLeftOpenAndCloseASubmenu) {
    auto sub = Menu::create();
    sub->add("Red", 21).add("Green", 22);
    auto menu = Menu::create();
    menu->add_submenu("Colour", sub).add("Plain", 1);
    open(menu, {200, 150});
    driver::press_key(key::Down);   // Colour
    driver::press_key(key::Right);  // opens it, on Red
    ASSERT_TRUE(driver::wait_idle());
    ASSERT_EQ(popups().size(), 2u);
    driver::press_key(key::Left);  // closes it again
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(popups().size(), 1u);
    driver::press_key(key::Right);
    driver::press_key(key::Down);  // Green
    driver::press_key(key::Enter);
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 22);
}

TEST_F(PopupMenu, HoveringAnotherItemClosesTheSubmenu) {
    auto sub = Menu::create();
    sub->add("Red", 21);
    auto menu = Menu::create();
    menu->add("Plain", 1).add_submenu("Colour", sub);
    open(menu, {200, 150});
    driver::move_mouse(centre(item("Colour")));
    ASSERT_TRUE(driver::wait_idle());
    ASSERT_EQ(popups().size(), 2u);
    driver::move_mouse(centre(item("Plain")));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(popups().size(), 1u);
    driver::press_key(key::Escape);
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 0);
}

TEST_F(PopupMenu, OtherMessagesOfTheThreadAreStillDispatched) {
    auto menu = file_menu();
    open(menu, {200, 150});
    Message m;
    m.window = owner;
    m.kind = MsgKind::User;
    m.param = 77;
    ASSERT_TRUE(post_message(m));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(done);
    auto users = rec->of(MsgKind::User);
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].param, 77);
    driver::press_key(key::Escape);
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 0);
}

// A right press near the bottom-right corner of a small screen, as the
// library opens its menu: the menu stays on screen, the release of that same
// press chooses nothing, and a submenu opens on the side where there is room.
TEST_F(PopupMenu, StaysOnASmallScreenAndAwayFromTheOpeningPress) {
    testsupport::ScreenOfSize screen({400, 300});
    auto sub = Menu::create();
    sub->add("Deep one", 31).add("Deep two", 32);
    auto menu = Menu::create();
    menu->add_submenu("More", sub).add("Alpha", 1).add("Beta", 2);
    Hwnd w = make({100, 100, 400, 300}, nullptr, [this, menu](Message& m) {
        if (m.kind != MsgKind::RButtonDown) return false;
        result = track_popup_menu(*menu, m.screen_pos, m.window);
        done = true;
        return true;
    });
    Point at{390, 290};
    ASSERT_EQ(window_at(at), w);
    driver::press_button(at, MouseButton::Right);
    ASSERT_TRUE(wait_until([] { return !popups().empty(); }));
    ASSERT_TRUE(driver::wait_idle());
    Rect whole{0, 0, 400, 300};
    Hwnd p = popups()[0];
    Rect pr = window_rect(p);
    EXPECT_EQ(pr.intersected(whole), pr) << pr.left << "," << pr.top << " " << pr.right << "," << pr.bottom;

    driver::release_button(at, MouseButton::Right);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(done) << "the release of the opening press chose an item";

    driver::move_mouse(centre(item("More")));
    ASSERT_TRUE(driver::wait_idle());
    ASSERT_EQ(popups().size(), 2u);
    Rect sr = window_rect(popups()[1]);
    EXPECT_EQ(sr.intersected(whole), sr);
    EXPECT_LT(sr.left, pr.left);  // no room on the right: it opens on the left
    driver::click(centre(item("Deep two")));
    ASSERT_TRUE(wait_until([&] { return done.load(); }));
    EXPECT_EQ(result, 32);
}

TEST_F(PopupMenu, DisplayTextDropsMnemonicMarkers) {
    EXPECT_EQ(menu_display_text("E&xit"), "Exit");
    EXPECT_EQ(menu_display_text("a&&b"), "a&b");
    EXPECT_EQ(menu_display_text("&&&Save"), "&Save");
    EXPECT_EQ(menu_display_text("Copy\tCtrl+C"), "Copy\tCtrl+C");
    EXPECT_EQ(menu_display_text("end&"), "end");
    EXPECT_EQ(menu_display_text(""), "");
}

// ---- Menu bars ------------------------------------------------------------

namespace {

class MenuBar : public MenuTestBase {
protected:
    void SetUp() override {
        file = Menu::create();
        file->add("&Open", 31).add("&Close", 32);
        bar = Menu::create();
        bar->add_submenu("&File", file).add("&Go", 41).add("&Nope", 42).add("&Help", 43);
        bar->items[2].grayed = true;
        w = make({100, 100, 600, 400}, bar);
    }

    // Screen rectangle of bar item `i`.
    Rect cell(int i) {
        Rect wr = window_rect(w);
        auto layout = detail::decoration_layout(window_style(w), true, wr.size());
        auto cells = detail::menu_bar_cells(*bar, layout.menu_bar);
        return cells[std::size_t(i)].translated(wr.left, wr.top);
    }

    std::vector<int> commands() {
        std::vector<int> out;
        for (const Message& m : rec->of(MsgKind::Command)) out.push_back(m.command_id);
        return out;
    }

    MenuPtr file, bar;
    Hwnd w;
};

}  // namespace

TEST_F(MenuBar, ClickingACommandItemPostsItsCommand) {
    ASSERT_EQ(hit_test(w, centre(cell(1))), Hit::MenuBar);
    EXPECT_EQ(client_origin(w).y, window_rect(w).top + metrics().sizing_frame + metrics().caption_height +
                                      metrics().menu_bar_height);
    driver::click(centre(cell(1)));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(commands(), std::vector<int>{41});
    auto cmd = rec->of(MsgKind::Command);
    EXPECT_EQ(cmd[0].window, w);
    driver::click(centre(cell(3)));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(commands(), (std::vector<int>{41, 43}));
}

TEST_F(MenuBar, PressingOnOneItemAndReleasingOnAnotherPostsNothing) {
    driver::press_button(centre(cell(1)));
    ASSERT_TRUE(driver::wait_idle());
    driver::move_mouse(centre(cell(3)));
    driver::release_button(centre(cell(3)));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(commands().empty());
    // Nor does releasing in the client area.
    driver::press_button(centre(cell(1)));
    ASSERT_TRUE(driver::wait_idle());
    driver::release_button({300, 300});
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(commands().empty());
}

TEST_F(MenuBar, GreyedItemPostsNothing) {
    driver::click(centre(cell(2)));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(popups().empty());
}

TEST_F(MenuBar, ItemWithSubmenuOpensAPopupWhoseItemPostsItsCommand) {
    driver::click(centre(cell(0)));
    ASSERT_TRUE(wait_until([] { return !popups().empty(); }));
    ASSERT_TRUE(driver::wait_idle());
    Hwnd p = popups()[0];
    Rect pr = window_rect(p);
    EXPECT_EQ(pr.left, cell(0).left);  // just below its bar item
    EXPECT_GE(pr.top, cell(0).bottom);
    EXPECT_LE(pr.top, client_origin(w).y);
    EXPECT_TRUE(commands().empty());
    driver::click(centre(item("Close")));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(popups().empty());
    EXPECT_EQ(commands(), std::vector<int>{32});
}

TEST_F(MenuBar, DismissingTheBarPopupPostsNothing) {
    driver::click(centre(cell(0)));
    ASSERT_TRUE(wait_until([] { return !popups().empty(); }));
    ASSERT_TRUE(driver::wait_idle());
    driver::press_key(key::Escape);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_TRUE(popups().empty());
    EXPECT_TRUE(commands().empty());
    // The bar works again afterwards.
    driver::click(centre(cell(1)));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(commands(), std::vector<int>{41});
}
