// What the modal boxes and dialogs share: their window, centred over the
// owner with their state as its user data, and the text they show as lines.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "plat/base/geometry.h"
#include "plat/gfx/gfx.h"
#include "plat/core/messages.h"
#include "plat/core/window.h"

namespace plat::ui {

// Where a window of size `outer` goes to be centred over `owner`, or over the
// work area when there is no owner, kept wholly on the work area.
Point centred_on(Hwnd owner, Size outer);

// A modal box's top-level window of class `class_name`: a caption with a
// close box and a client area of `client`, centred over its owner and owned
// by it, with `state` as its user data. Empty when it cannot be made.
Hwnd create_modal_window(const char* class_name, std::string_view caption, Size client, Hwnd owner, void* state);

// The state a box made so keeps as its user data (or a part of it made by
// create_dialog_part); null once the box is closing.
template <typename State>
State* modal_state(Hwnd h) {
    return reinterpret_cast<State*>(user_data(h));
}

// The procedure of a box made so whose parts report to it by Command: each
// Command goes to `on_command`, the close box to `on_close` (the box's caller
// destroys the window). Anything else, and whatever comes once the state has
// gone, is left to the default.
template <typename State>
bool route_box_message(Message& m, void (*on_command)(State&, const Message&), void (*on_close)(State&)) {
    State* st = modal_state<State>(m.window);
    if (!st) return false;
    switch (m.kind) {
    case MsgKind::Command:
        on_command(*st, m);
        return true;
    case MsgKind::Close:
        on_close(*st);
        return true;
    default:
        return false;
    }
}

// Brings a box made so to the front with `first` focused; a field given the
// focus so offers its whole text.
void activate_modal_window(Hwnd box, Hwnd first);

// Ends a box made so: its state is taken from the window and from the
// `parts` that read it too (messages that come late find none), the window
// goes, and the owner comes back to the front.
void close_modal_window(Hwnd box, Hwnd owner, std::initializer_list<Hwnd> parts = {});

// Text as the lines it shows: broken at '\n', '\r' dropped.
std::vector<std::string> split_lines(std::string_view text);
// The width of the widest line in the fixed-cell font.
int widest_line(const std::vector<std::string>& lines);
// Draws the lines one cell high each, from `at` down, in the text colour.
void draw_lines(Dc& dc, Point at, const std::vector<std::string>& lines);

}  // namespace plat::ui
