// Owned top-level windows: the owner and what it owns move in the z-order as
// one group with the owned windows above, whichever thread each belongs to;
// destroying the owner takes its same-thread owned windows along and leaves
// the others without an owner.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "backend_interface.h"
#include "plat/driver/driver.h"
#include "plat/core/window.h"
#include "support/ui_thread.h"

using namespace plat;
using testsupport::UiThread;

namespace {

std::mutex g_destroyed_mutex;
std::vector<std::uint32_t> g_destroyed;  // Destroy messages in the order they came

void register_coloured(const char* name, Color bg) {
    if (class_registered(name)) return;
    WindowClass c;
    c.name = name;
    c.background = bg;
    c.proc = [](Message& m) {
        if (m.kind == MsgKind::Destroy) {
            std::lock_guard lock(g_destroyed_mutex);
            g_destroyed.push_back(m.window.id);
        }
        return false;
    };
    ASSERT_TRUE(register_class(c));
}

Hwnd make(UiThread& thread, const char* cls, Rect r, Hwnd owner = {}) {
    return thread.run([&] {
        CreateParams p;
        p.class_name = cls;
        p.title = cls;
        p.style = style::Overlapped | style::Visible;
        p.rect = r;
        p.owner = owner;
        return create_window(p);
    });
}

// The z-order of `ours`, bottom to top, leaving out the test threads' own windows.
std::vector<Hwnd> stacking(const std::vector<Hwnd>& ours) {
    std::vector<Hwnd> out;
    for (Hwnd h : top_level_windows())
        if (std::find(ours.begin(), ours.end(), h) != ours.end()) out.push_back(h);
    return out;
}

void click_and_settle(Point p) {
    driver::click(p);
    ASSERT_TRUE(driver::wait_idle());
}

constexpr Color kOwnerColour = 0xD4D0C8, kOtherColour = 0x8080FF, kOwnedColour = 0x20C040;

}  // namespace

TEST(OwnedWindows, StayAboveTheirOwnerWhicheverWindowIsRaisedOrClicked) {
    register_coloured("owner_win", kOwnerColour);
    register_coloured("other_win", kOtherColour);
    register_coloured("owned_win", kOwnedColour);
    // The owner on one thread and what it owns on another, as a program's
    // main window and its user thread's windows are.
    UiThread window_thread, user_thread;
    Hwnd owner = make(window_thread, "owner_win", {300, 300, 700, 500});
    Hwnd other = make(window_thread, "other_win", {600, 100, 900, 600});
    Hwnd a = make(user_thread, "owned_win", {200, 250, 400, 400}, owner);
    Hwnd b = make(user_thread, "owned_win", {550, 250, 750, 400}, owner);
    ASSERT_TRUE(owner && other && a && b);
    EXPECT_EQ(owner_of(a), owner);
    EXPECT_FALSE(owner_of(owner));
    const std::vector<Hwnd> ours{owner, other, a, b};
    // A new owned window comes up with its owner, which goes just below the group.
    EXPECT_EQ(stacking(ours), (std::vector<Hwnd>{other, owner, a, b}));

    // Clicking the owner where nothing covers it activates it and leaves what it owns above it.
    const Point on_owner{450, 450}, owner_under_a{350, 350}, owner_under_b{650, 350};
    click_and_settle(on_owner);
    EXPECT_EQ(active_window(), owner);
    EXPECT_EQ(stacking(ours), (std::vector<Hwnd>{other, owner, a, b}));
    EXPECT_EQ(window_at(owner_under_a), a);
    EXPECT_EQ(window_at(owner_under_b), b);
    Surface screen = driver::capture_screen();
    EXPECT_EQ(screen.pixel(owner_under_a.x, owner_under_a.y), kOwnedColour);
    EXPECT_EQ(screen.pixel(owner_under_b.x, owner_under_b.y), kOwnedColour);

    // Another window covers the group; clicking the owner brings it all back up.
    click_and_settle({800, 550});
    EXPECT_EQ(stacking(ours), (std::vector<Hwnd>{owner, a, b, other}));
    click_and_settle(on_owner);
    EXPECT_EQ(stacking(ours), (std::vector<Hwnd>{other, owner, a, b}));

    // Raising an owned window raises its owner too, just below the group's top.
    click_and_settle({800, 550});
    click_and_settle({250, 300});  // on a
    EXPECT_EQ(active_window(), a);
    EXPECT_EQ(stacking(ours), (std::vector<Hwnd>{other, owner, b, a}));

    // A window owned by an owned window stays above both, also when its owner's owner is raised.
    Hwnd c = make(user_thread, "owned_win", {150, 200, 260, 280}, a);
    ASSERT_TRUE(c);
    const std::vector<Hwnd> all{owner, other, a, b, c};
    EXPECT_EQ(stacking(all), (std::vector<Hwnd>{other, owner, b, a, c}));
    click_and_settle({700, 380});  // on b
    EXPECT_EQ(stacking(all), (std::vector<Hwnd>{other, owner, a, c, b}));
    click_and_settle(on_owner);
    EXPECT_EQ(stacking(all), (std::vector<Hwnd>{other, owner, a, c, b}));

    user_thread.run([&] {
        destroy_window(c);
        destroy_window(a);
        destroy_window(b);
    });
    window_thread.run([&] {
        destroy_window(owner);
        destroy_window(other);
    });
}

TEST(OwnedWindows, GoWithTheirOwnerOnTheSameThreadAndLoseItOnAnother) {
    register_coloured("owner_win", kOwnerColour);
    register_coloured("owned_win", kOwnedColour);
    UiThread window_thread, user_thread;
    Hwnd owner = make(window_thread, "owner_win", {100, 100, 400, 300});
    Hwnd same_thread = make(window_thread, "owned_win", {150, 150, 300, 250}, owner);
    Hwnd nested = make(window_thread, "owned_win", {160, 160, 200, 200}, same_thread);
    Hwnd other_thread = make(user_thread, "owned_win", {250, 150, 350, 250}, owner);
    ASSERT_TRUE(owner && same_thread && nested && other_thread);
    // What a display backend reads carries the owner.
    detail::DisplaySnapshot snap = detail::snapshot_for_display({other_thread.id});
    ASSERT_EQ(snap.windows.size(), 1u);
    EXPECT_EQ(snap.windows[0].owner, owner.id);

    {
        std::lock_guard lock(g_destroyed_mutex);
        g_destroyed.clear();
    }
    window_thread.run([&] { destroy_window(owner); });
    EXPECT_FALSE(is_window(owner));
    EXPECT_FALSE(is_window(same_thread));
    EXPECT_FALSE(is_window(nested));
    {
        // Owned windows go first, the most deeply owned before its owner.
        std::lock_guard lock(g_destroyed_mutex);
        EXPECT_EQ(g_destroyed, (std::vector<std::uint32_t>{nested.id, same_thread.id, owner.id}));
    }
    // The other thread's window stays, without an owner, and says so to the backend.
    ASSERT_TRUE(is_window(other_thread));
    EXPECT_FALSE(owner_of(other_thread));
    snap = detail::snapshot_for_display({other_thread.id});
    ASSERT_EQ(snap.windows.size(), 1u);
    EXPECT_EQ(snap.windows[0].owner, 0u);

    // A window that is gone cannot own a new one; a child stands for its top-level window.
    EXPECT_FALSE(make(user_thread, "owned_win", {0, 0, 50, 50}, owner));
    Hwnd child = user_thread.run([&] {
        CreateParams p;
        p.class_name = "owned_win";
        p.style = style::Child | style::Visible;
        p.rect = {0, 0, 20, 20};
        p.parent = other_thread;
        return create_window(p);
    });
    Hwnd via_child = make(user_thread, "owned_win", {0, 0, 50, 50}, child);
    ASSERT_TRUE(via_child);
    EXPECT_EQ(owner_of(via_child), other_thread);
    user_thread.run([&] {
        destroy_window(other_thread);
        EXPECT_FALSE(is_window(via_child));
    });
}
