// Popup menus are tracked by ui, a layer above the core. The core opens the
// menu bar's submenus through the tracker that ui's function is installed as
// (by the backend factory, which sees every layer).
#pragma once

#include "plat/base/geometry.h"
#include "plat/core/menu.h"

namespace plat::detail {

using PopupMenuTracker = int (*)(const Menu& menu, Point screen, Hwnd owner);

void set_popup_menu_tracker(PopupMenuTracker tracker);

// Tracks `menu` with the installed tracker; 0 (dismissed) when there is none.
int track_popup_menu_hook(const Menu& menu, Point screen, Hwnd owner);

}  // namespace plat::detail
