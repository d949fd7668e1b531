// A text window's keys, popup menu and commands.
#pragma once

#include "plat/base/geometry.h"
#include "plat/core/messages.h"

namespace mav {

inline constexpr int kCmdAbout = 1020;
inline constexpr int kCmdStartLog = 1024;
inline constexpr int kCmdStopLog = 1025;
inline constexpr int kCmdCommand = 1029;
inline constexpr int kCmdCopyLog = 1030;
inline constexpr int kCmdDestroy = 1006;
inline constexpr int kCmdSelect = 1069;
// kCmdWindowInfo (1045) is shared with the main window.

void text_window_key(int no, const plat::Message& m);
void text_window_popup(int no, plat::Point screen);
void text_window_command(int no, int command);

}  // namespace mav
