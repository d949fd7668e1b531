// What the modal boxes and dialogs share: their window, centred over the
// owner, and the text they show as lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "plat/geometry.h"
#include "plat/gfx.h"
#include "plat/messages.h"

namespace plat::ui {

// Where a window of size `outer` goes to be centred over `owner`, or over the
// screen when there is no owner: never left of or above the screen.
Point centred_on(Hwnd owner, Size outer);

// A modal box's top-level window of class `class_name`: a caption with a
// close box and a client area of `client`, centred over its owner, with
// `state` as its user data. Empty when it cannot be made.
Hwnd create_modal_window(const char* class_name, std::string_view caption, Size client, Hwnd owner, void* state);

// Ends a box made so: its state is taken from the window (messages that come
// late find none), the window goes, and the owner comes back to the front.
void close_modal_window(Hwnd box, Hwnd owner);

// Text as the lines it shows: broken at '\n', '\r' dropped.
std::vector<std::string> split_lines(std::string_view text);
// The width of the widest line in the fixed-cell font.
int widest_line(const std::vector<std::string>& lines);
// Draws the lines one cell high each, from `at` down, in the text colour.
void draw_lines(Dc& dc, Point at, const std::vector<std::string>& lines);

}  // namespace plat::ui
