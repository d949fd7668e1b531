// The driver: input as a person gives it, idle detection, screen capture and
// the items of open menus, the same for every backend. Dialog answers are
// the broker's (dialog_broker.cpp).
#include "plat/driver/driver.h"

#include <atomic>

#include "plat/base/clock.h"
#include "plat/base/codepage.h"
#include "plat/core/keys.h"
#include "plat/core/menu.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "backend_interface.h"
#include "open_menus.h"

namespace plat::driver {

namespace {

constexpr Color kDesktop = 0x3A6EA5;

std::atomic<bool (*)()> g_busy_check{nullptr};
std::atomic<plat::detail::OpenMenuItemFinder> g_open_menu_finder{nullptr};

bool all_queues_idle() {
    if (auto busy = g_busy_check.load(); busy && busy()) return false;
    return message_queues_at_rest();
}

}  // namespace

void move_mouse(Point p) { inject_mouse_move(p); }

void press_button(Point p, MouseButton b) {
    inject_mouse_move(p);
    inject_mouse_button(b, true, p);
}

void release_button(Point p, MouseButton b) {
    inject_mouse_move(p);
    inject_mouse_button(b, false, p);
}

void click(Point p, MouseButton b) {
    press_button(p, b);
    release_button(p, b);
}

void hold_key(int k) { inject_key(k, true); }
void release_key(int k) { inject_key(k, false); }

void press_key(int k, bool ctrl, bool shift) {
    if (ctrl) inject_key(key::Control, true);
    if (shift) inject_key(key::Shift, true);
    inject_key(k, true);
    inject_key(k, false);
    if (shift) inject_key(key::Shift, false);
    if (ctrl) inject_key(key::Control, false);
}

void type_text(std::string_view utf8) {
    for (char32_t c : utf8_to_utf32(utf8)) {
        if (c == U'\n') press_key(key::Enter);
        else inject_char(c);
    }
}

bool drop_files(Point p, std::vector<std::string> files) { return inject_drop_files(p, std::move(files)); }

std::optional<Rect> open_menu_item(std::string_view text) {
    // The factory installs the finder when it makes the first backend.
    if (!g_open_menu_finder.load()) plat::detail::backend();
    plat::detail::OpenMenuItemFinder finder = g_open_menu_finder.load();
    return finder ? finder(text) : std::nullopt;
}

void set_busy_check(bool (*busy)()) { g_busy_check = busy; }

bool wait_idle(int timeout_ms) {
    double deadline = monotonic_ms() + timeout_ms;
    int calm = 0;
    while (monotonic_ms() < deadline) {
        calm = all_queues_idle() ? calm + 1 : 0;
        if (calm >= 3) return true;
        sleep_ms(5);
    }
    return false;
}

Surface capture_window(Hwnd h) { return capture_window_pixels(h); }

Surface capture_screen() {
    Size s = screen_size();
    Surface out(s.width, s.height);
    out.fill(kDesktop);
    Dc dc(out);
    for (Hwnd h : top_level_windows()) {
        if (!is_visible(h)) continue;
        Surface pix = capture_window_pixels(h);
        Rect r = window_rect(h);
        dc.blit(r.top_left(), pix, pix.rect());
    }
    return out;
}

}  // namespace plat::driver

namespace plat::detail {

void set_open_menu_item_finder(OpenMenuItemFinder finder) { driver::g_open_menu_finder = finder; }

}  // namespace plat::detail
