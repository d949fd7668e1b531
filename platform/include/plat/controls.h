// Standard controls, drawn with gfx in the fixed-cell font.
#pragma once

#include <string_view>

#include "plat/geometry.h"
#include "plat/messages.h"

namespace plat {

// A static text label: left-aligned, one line, no background of its own beyond
// the button face. Clicks fall through to the parent.
Hwnd create_label(Hwnd parent, Rect rect, std::string_view text_utf8, int control_id);

}  // namespace plat
