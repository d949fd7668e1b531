// Menu data and the menu bar of top-level windows.
#include "plat/core/menu.h"

#include <atomic>

#include "backend_interface.h"
#include "menu_tracking.h"
#include "registry.h"

namespace plat {

MenuItem* Menu::find_command(int command) {
    for (auto& item : items) {
        if (!item.separator && !item.submenu && item.command == command) return &item;
        if (item.submenu)
            if (MenuItem* found = item.submenu->find_command(command)) return found;
    }
    return nullptr;
}

std::string menu_display_text(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

void set_menu_bar(Hwnd h, MenuPtr menu) {
    auto w = detail::find_window_data(h);
    if (!w) return;
    {
        auto& r = detail::registry();
        std::lock_guard lock(r.m);
        if (w->parent) return;
        w->menu = std::move(menu);
        w->invalid = Rect{0, 0, 1 << 20, 1 << 20};
    }
    detail::redraw_decoration(h);
}

namespace detail {

namespace {
std::atomic<PopupMenuTracker> g_popup_tracker{nullptr};
}  // namespace

void set_popup_menu_tracker(PopupMenuTracker tracker) { g_popup_tracker = tracker; }

int track_popup_menu_hook(const Menu& menu, Point screen, Hwnd owner) {
    // The factory installs the tracker when it makes the first backend.
    if (!g_popup_tracker.load()) backend();
    PopupMenuTracker tracker = g_popup_tracker.load();
    return tracker ? tracker(menu, screen, owner) : 0;
}

}  // namespace detail

MenuPtr menu_bar(Hwnd h) {
    auto w = detail::find_window_data(h);
    if (!w) return nullptr;
    auto& r = detail::registry();
    std::lock_guard lock(r.m);
    return w->menu;
}

}  // namespace plat
