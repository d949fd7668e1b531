// A grid of colour cells with one chosen cell (or none), for the colour
// dialog. The cells share the grid's window evenly, row by row.
#pragma once

#include <vector>

#include "plat/base/geometry.h"
#include "plat/core/messages.h"

namespace plat::ui {

// What the grid tells its parent (Command notify) when the user chose a
// cell: a click (even on the cell already chosen) or an arrow key.
inline constexpr int kSwatchChosen = 0x0600;

Hwnd create_swatch_grid(Hwnd parent, Rect rect, int control_id, int columns, std::vector<Color> colors);
void set_swatch_color(Hwnd grid, int index, Color c);
Color swatch_color(Hwnd grid, int index);  // 0 out of range
// -1: none. The parent is not told.
void set_swatch_selection(Hwnd grid, int index);
int swatch_selection(Hwnd grid);

}  // namespace plat::ui
