// Standard controls, drawn with gfx in the fixed-cell font, and the dialog
// keys that move between them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "plat/base/geometry.h"
#include "plat/core/messages.h"

namespace plat {

// Styles of controls, given beside the window styles (plat::style) when a
// control is created. The bits from 24 up belong to controls.
namespace ctl {
inline constexpr std::uint32_t TabStop = 1u << 24;  // Tab and Shift+Tab stop here
inline constexpr std::uint32_t Group = 1u << 25;    // first control of a group
}  // namespace ctl

// What a control tells its parent, as Command{command_id = the control's id,
// notify = one of these, source = the control}. Sent, not posted: the parent
// has handled it when the control goes on.
namespace notify {
inline constexpr int Clicked = 0;          // a push button was clicked
inline constexpr int SetFocus = 0x0100;    // an edit field got the focus
inline constexpr int KillFocus = 0x0200;   // an edit field lost the focus
inline constexpr int Change = 0x0300;      // the user changed an edit field's text
inline constexpr int Scroll = 0x0400;      // the user moved a slider (sent once per new position)
}  // namespace notify

// A disabled control is greyed and deaf to the mouse and keys, and the dialog
// keys pass it by; if it had the focus, its parent gets it. Edit fields,
// sliders and check boxes honour it. The parent is not told.
void enable_control(Hwnd control, bool enabled);
bool control_enabled(Hwnd control);

// A static text label: left-aligned, one line, no background of its own beyond
// the button face. Clicks fall through to the parent.
Hwnd create_label(Hwnd parent, Rect rect, std::string_view text_utf8, int control_id);

// ---- Single-line edit field --------------------------------------------
//
// A sunken white field with a caret, a selection and automatic horizontal
// scrolling. Its text is the window text (window_text / set_edit_text).
// Keys: Left, Right, Home, End (Shift extends the selection, Ctrl moves by
// words), Backspace, Delete, Ctrl+A selects all, Ctrl+C / Ctrl+Insert copy,
// Ctrl+X / Shift+Delete cut, Ctrl+V / Shift+Insert paste the clipboard's first
// line. A click places the caret, a drag selects. The parent is told of focus
// changes and of edits (notify::SetFocus, KillFocus, Change).
Hwnd create_edit(Hwnd parent, Rect rect, std::string_view text_utf8, int control_id,
                 std::uint32_t extra_style = ctl::TabStop);
bool is_edit(Hwnd window);
// Replaces the text; the caret goes home, nothing is selected, and the field
// scrolls back to its start. The parent is not told.
void set_edit_text(Hwnd edit, std::string_view utf8);

// Selection in code points: [start, end), with the caret at one end.
struct EditSelection {
    int start = 0;
    int end = 0;
    int caret = 0;
};
// Selects [start, end) (end -1: to the end of the text) with the caret at
// `end`; out-of-range values are clamped.
void set_edit_selection(Hwnd edit, int start, int end);
EditSelection edit_selection(Hwnd edit);
// The first pixel column of the text that shows (0 when not scrolled).
int edit_scroll(Hwnd edit);

// ---- Push button -------------------------------------------------------
//
// A raised button whose caption may hold line breaks ('\n'); lines that do
// not fit are wrapped at blanks. It looks pressed while the mouse holds it
// down (or Space is held while it has the focus) and tells the parent
// notify::Clicked when released over it. A focused button shows a dotted
// focus rectangle.
Hwnd create_button(Hwnd parent, Rect rect, std::string_view caption_utf8, int control_id,
                   std::uint32_t extra_style = 0);
bool is_button(Hwnd window);
// Clicks it as a person would, without the mouse: the parent is told.
void click_button(Hwnd button);

// ---- Slider ------------------------------------------------------------
//
// A horizontal track with a thumb, for a whole number within a range and on
// a step from its minimum. Dragging the thumb or pressing the track moves it
// to the mouse; Left / Right move one step, PageDown / PageUp one page,
// Home / End to the ends. Each new position the user picks is sent to the
// parent as notify::Scroll. A focused slider shows a dotted focus rectangle.
struct SliderRange {
    std::int32_t min = 0;
    std::int32_t max = 100;   // below min counts as min: the thumb cannot move
    std::int32_t step = 1;    // below 1 counts as 1
    std::int32_t page = 0;    // PageUp / PageDown; 0: about a tenth of the range
};
Hwnd create_slider(Hwnd parent, Rect rect, int control_id, std::uint32_t extra_style = ctl::TabStop);
bool is_slider(Hwnd window);
// Sets the range; the position is kept within it. The parent is not told.
void set_slider_range(Hwnd slider, SliderRange range);
SliderRange slider_range(Hwnd slider);
// Moves the thumb to the nearest step within the range (values past the
// ends go to the ends); the parent is not told.
void set_slider_pos(Hwnd slider, std::int64_t pos);
std::int32_t slider_pos(Hwnd slider);

// ---- Check box -----------------------------------------------------------
//
// A small white box, ticked when checked, with its caption to the right. A
// click (released over it) or Space toggles it, then tells the parent
// notify::Clicked. A focused box shows a dotted rectangle round its caption.
Hwnd create_check_box(Hwnd parent, Rect rect, std::string_view caption_utf8, int control_id,
                      std::uint32_t extra_style = ctl::TabStop);
bool is_check_box(Hwnd window);
// The parent is not told.
void set_checked(Hwnd box, bool checked);
bool is_checked(Hwnd box);

// ---- Dialog keys ---------------------------------------------------------
//
// Keyboard navigation for a window with controls, offered each message
// before it is translated and dispatched. Returns true when it consumed the
// message. For key presses in `dialog` or its controls:
// - Tab / Shift+Tab move the focus to the next / previous visible, enabled
//   tab stop (ctl::TabStop), round and round; an edit field reached so has
//   its whole text selected.
// - Up / Down (and Left / Right when the focus is not in an edit field or
//   a slider, which keep them for their caret or thumb) move from a focused
//   control to the previous / next visible, enabled control that takes the
//   focus. When `dialog` itself has the focus, its arrows are left to it.
// - Enter clicks the focused push button, or else sends the default command
//   Command{command_id = kIdOk, notify 0, no source} to `dialog`.
// Everything else, Escape included, is left to the windows.
bool handle_dialog_key(Hwnd dialog, Message& msg);

}  // namespace plat
