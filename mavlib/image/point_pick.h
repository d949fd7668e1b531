// The point pick: image commands that need positions let the user click
// them in the image's window, with inverted feedback following the mouse.
// Runs on the user thread and pumps its messages until the pick ends.
#pragma once

namespace mav {

enum class PickForm {
    Point,   // one click: x, y
    Row,     // one click, an inverted full-width line at the mouse's row: x, y
    Column,  // one click, an inverted full-height line at the mouse's column: x, y
    Line,    // two clicks, an inverted line from the first: x1, y1, x2, y2
    Box,     // two clicks, an inverted box from the first: left, top, right, bottom
    Circle,  // two clicks, an inverted circle round the first: cx, cy, radius
};

struct PickResult {
    int v[4] = {0, 0, 0, 0};
};

inline constexpr int kPicked = 0;
inline constexpr int kPickCancelled = 1;
inline constexpr int kPickNoImage = 2;

// Makes image `index` current and lets the user pick in its window. Returns
// kPicked with the values (Stop ends at once with what was picked so far,
// 0 where nothing was), kPickCancelled when the user cancels with the right
// or middle button, kPickNoImage when the image does not exist.
int pick_points(PickForm form, int index, PickResult& out);

// The placement of a w x h picture: an inverted box centred on the mouse
// (with its diagonals when both sides are at least 9) until a click. True
// with the picture's top-left corner; false when cancelled.
bool place_by_click(int index, int w, int h, int& x, int& y);

}  // namespace mav
