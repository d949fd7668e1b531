// Pieces the two boxes share: text conversions, the one-item popup menus,
// renaming through the current text window, and the window messages both
// boxes handle alike.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "plat/base/geometry.h"
#include "plat/core/messages.h"
#include "plat/core/window.h"

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

// What the shared message handling needs to know of one box.
struct BoxKind {
    plat::Hwnd (*open_box)();                 // the box open now; empty when none is
    void (*on_size)();                        // lays the box out after a size change
    bool (*on_command)(const plat::Message&); // the box's own commands: false when it is not one
    int (*close)();                           // MAV_CloseInputBox or MAV_CloseButtonBox
    void (*forget)();                         // the box's window is being destroyed
    const char* destroy_item;                 // the caption's popup item, and its command
    int destroy_command;
    int rename_command;                       // the command of the client area's "Rename"
    int (*item_at)(plat::Point client);       // the item (row, button) at a client point
    void (*rename)(int item);
    int* rename_item;                         // the item the last "Rename" menu was opened on
};

// The messages both boxes handle alike: Move and Moving (snapping), Size,
// Command (the box's own first, then the popup menus' Destroy and Rename),
// Close, a right click (the Destroy menu on the frame, Rename on an item), a
// double click (rename) and Destroy. Messages to a window of the class that
// is not the open box are taken too, and only a Close acts on one (it is
// destroyed). Returns what the procedure returns, or nullopt for a message
// the box handles itself.
std::optional<bool> handle_box_message(plat::Message& msg, const BoxKind& kind);

}  // namespace mav
