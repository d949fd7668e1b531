// A list of text rows with one chosen row (or none), for the dialogs of this
// layer: a sunken white box, rows one font cell high, each with an icon
// before its text if the list has icons, and a thin bar on the right showing
// where the rows in view lie among all of them.
#pragma once

#include <string>
#include <vector>

#include "plat/base/geometry.h"
#include "plat/core/messages.h"
#include "plat/gfx/gfx.h"

namespace plat::ui {

inline constexpr int kListRowHeight = 16;
inline constexpr int kListInset = 2;  // the sunken edge above the first row
// What the list tells its parent (Command notify) when the user chose
// another row: by the mouse, the arrows and paging keys, or a typed letter.
inline constexpr int kListChosen = 0x0500;
// ...and when a row was double-clicked (after kListChosen, if it changed).
inline constexpr int kListActivated = 0x0501;
// ...and after every pick of a row, changed or not (after kListChosen, if it
// changed): a parent that copies the row elsewhere copies it again.
inline constexpr int kListPicked = 0x0502;

// The icons of a list's rows: `paint` draws icon `kind` with its top left at
// `at`; the text starts `width` pixels further right.
struct ListIcons {
    void (*paint)(Dc& dc, Point at, int kind) = nullptr;
    int width = 0;
};

Hwnd create_list_box(Hwnd parent, Rect rect, int control_id, ListIcons icons = {});
bool is_list_box(Hwnd window);
// Replaces the rows, with the kind of icon of each row (none: kind 0 for
// all); nothing is chosen and the list scrolls to its top.
void set_list_items(Hwnd list, std::vector<std::string> items, std::vector<int> icon_kinds = {});
int list_count(Hwnd list);
std::string list_item(Hwnd list, int index);  // empty out of range
// Chooses row `index` (-1: none) and scrolls it into view; the parent is
// not told.
void set_list_selection(Hwnd list, int index);
int list_selection(Hwnd list);
// The first row in view.
int list_top(Hwnd list);

}  // namespace plat::ui
