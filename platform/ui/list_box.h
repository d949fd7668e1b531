// A list of text rows with one chosen row (or none), for the dialogs of this
// layer: a sunken white box, rows one font cell high, and a thin bar on the
// right showing where the rows in view lie among all of them.
#pragma once

#include <string>
#include <vector>

#include "plat/base/geometry.h"
#include "plat/core/messages.h"

namespace plat::ui {

inline constexpr int kListRowHeight = 16;
inline constexpr int kListInset = 2;  // the sunken edge above the first row
// What the list tells its parent (Command notify) when the user chose
// another row: by the mouse, the arrows and paging keys, or a typed letter.
inline constexpr int kListChosen = 0x0500;

Hwnd create_list_box(Hwnd parent, Rect rect, int control_id);
bool is_list_box(Hwnd window);
// Replaces the rows; nothing is chosen and the list scrolls to its top.
void set_list_items(Hwnd list, std::vector<std::string> items);
int list_count(Hwnd list);
std::string list_item(Hwnd list, int index);  // empty out of range
// Chooses row `index` (-1: none) and scrolls it into view; the parent is
// not told.
void set_list_selection(Hwnd list, int index);
int list_selection(Hwnd list);
// The first row in view.
int list_top(Hwnd list);

}  // namespace plat::ui
