// Tab and Shift+Tab for dialogs whose parts are not all standard controls.
#pragma once

#include <vector>

#include "plat/messages.h"

namespace plat::ui {

// Moves the focus from the part that has it to the next (or previous) part
// of `ring` that is visible and enabled, round and round; from outside the
// ring to its first (or last). A field reached so offers its whole text.
void step_focus(const std::vector<Hwnd>& ring, bool backwards);

}  // namespace plat::ui
