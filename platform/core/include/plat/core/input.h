// Raw input entering the platform at screen coordinates. Backends call these
// for real devices; the headless driver calls them for scripted users. The
// core routes each event to the window under the cursor (or with capture or
// focus) and posts the typed message to its owner's queue.
#pragma once

#include <string>
#include <vector>

#include "plat/base/geometry.h"

namespace plat {

enum class MouseButton { Left, Middle, Right };

void inject_mouse_move(Point screen);
void inject_mouse_button(MouseButton button, bool down, Point screen);
void inject_wheel(int delta, Point screen);
void inject_key(int key, bool down);
void inject_char(char32_t ch);
// Drops files on the top-level window at the point. False when no window
// there accepts file drops.
bool inject_drop_files(Point screen, std::vector<std::string> files);

Point cursor_pos();

}  // namespace plat
