// Popup menus: shown at a screen point and tracked modally until an item is
// chosen or the menu is dismissed.
#pragma once

#include <optional>
#include <string_view>

#include "plat/base/geometry.h"
#include "plat/core/menu.h"

namespace plat {

// Shows `menu` as a popup at a screen point and tracks it modally on the
// calling thread: returns the chosen command, or 0 when dismissed.
int track_popup_menu(const Menu& menu, Point screen, Hwnd owner);

// The screen rectangle of an item of the popup menus open now, found by its
// text as shown ("Exit", "Paste" or "Paste\tCtrl+V"); the innermost open
// menu is searched first. nullopt when no open menu has it.
std::optional<Rect> find_open_menu_item(std::string_view text);

}  // namespace plat
