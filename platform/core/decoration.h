// The decorations we draw around top-level windows (caption bar, borders,
// close box, menu bar): their layout, hit-testing and drawing.
#pragma once

#include <cstdint>

#include <vector>

#include "plat/base/geometry.h"
#include "plat/core/menu.h"
#include "plat/core/messages.h"

namespace plat::detail {

struct DecorationInsets {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct DecorationLayout {
    int border = 0;
    Rect caption;    // window coordinates; empty without a caption
    Rect close_box;  // empty without one
    Rect menu_bar;   // empty without a menu
    Rect client;     // window coordinates
};

DecorationInsets decoration_insets(std::uint32_t style, bool has_menu);
DecorationLayout decoration_layout(std::uint32_t style, bool has_menu, Size window);
// Which part of a top-level window a point (window coordinates) is on.
Hit decoration_hit(std::uint32_t style, bool has_menu, Size window, Point p);
// Cells of the menu bar's items, in the bar's coordinates.
std::vector<Rect> menu_bar_cells(const Menu& menu, Rect bar);

}  // namespace plat::detail
