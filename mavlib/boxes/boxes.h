// The input box and the button box inside the library: window procedures,
// requests, and what the window-layout report reads of them.
#pragma once

#include <string>
#include <vector>

#include "plat/base/geometry.h"
#include "plat/core/messages.h"

namespace mav {

inline constexpr int kInputBoxMaxItems = 30;
inline constexpr int kButtonBoxMaxButtons = 256;
inline constexpr int kButtonIdBase = 3000;

// Commands of the boxes' popup menus.
inline constexpr int kCmdInputBoxDestroy = 1023;
inline constexpr int kCmdInputBoxRename = 1056;
inline constexpr int kCmdButtonBoxDestroy = 1050;
inline constexpr int kCmdButtonBoxRename = 1057;

// Class procedures of "mav_ib" and "mav_bb".
bool input_box_proc(plat::Message& msg);
bool button_box_proc(plat::Message& msg);

// Whether a program that polls its buttons still has to react to a press:
// one it has not taken yet, or one it took and is acting on until it polls
// its buttons again. A script's idle waits for this too, as a person waits
// for the program to react to a click.
bool button_presses_pending();

// Serves requests 9006 and 9007 and gives both boxes their dialog keys in
// MAV_PumpMessages.
void register_box_requests();

// What is open, for the window-layout report. Texts are Shift-JIS. Read on
// the thread that owns the boxes.
struct InputBoxLayout {
    bool open = false;
    plat::Rect window;  // screen
    int items = 0;
    int label_width = 0;
    int field_width = 0;
    std::vector<std::string> titles;
};
InputBoxLayout input_box_layout();

struct ButtonBoxLayout {
    bool open = false;
    plat::Rect window;  // screen
    int nx = 0, ny = 0;
    plat::Size client;
    std::vector<std::string> captions;
};
ButtonBoxLayout button_box_layout();

}  // namespace mav
