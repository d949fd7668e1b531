// Pieces the two boxes share: text conversions, the one-item popup menus and
// renaming through the current text window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "plat/geometry.h"
#include "plat/messages.h"
#include "plat/window.h"

namespace mav {

inline constexpr std::size_t kBoxTextUnits = 255;
// Both boxes' windows: a caption with a close box, and a sizing border.
inline constexpr std::uint32_t kBoxStyle = plat::style::Caption | plat::style::CloseBox | plat::style::SizingBorder;
inline constexpr int kMaxCoordinate = 32767;  // window positions are kept within +-32767  // window texts, plus a terminator: 256

// Shift-JIS from the program -> UTF-8 window text of at most 255 UTF-16 units.
std::string window_text_from_sjis(std::string_view sjis);
// A window's text as Shift-JIS: its first 255 UTF-16 units, cut at a whole
// character so that it fits 255 bytes.
std::string window_text_sjis(plat::Hwnd window);

// Shows a popup menu of one item at a screen point and posts the command to
// `owner` when it is chosen. `grayed` shows it disabled.
void popup_one_item(plat::Hwnd owner, const char* text, int command, plat::Point screen, bool grayed = false);

// False while a line input waits somewhere: renaming would take its line.
bool renaming_possible();

// Renaming: prints "%d '%s' ->" with `number` and `old_sjis` in the current
// text window (opening one if needed), reads a line and hands it to `apply`
// when it is not empty. `apply` checks that its target still exists.
void rename_through_text_window(int number, const std::string& old_sjis,
                                const std::function<void(const std::string& line_sjis)>& apply);

// Closes a box's window, forgetting the box first: 1 when there is no box,
// 2 (after an error box with `error_text` and `error_caption`) when its
// window is already gone, 0 when it was destroyed.
int close_box_window(plat::Hwnd box, void (*forget_box)(), const char* error_text, const char* error_caption);

}  // namespace mav
