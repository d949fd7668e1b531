// The window layout: what is open and where, and the source text of MAV_
// calls that recreates it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "boxes/boxes.h"

namespace mav {

struct ImageLayout {
    int index = 0;
    int bits = 32;
    int layout = 1;     // 1 fit to screen, 0 free layout
    std::string title;  // Shift-JIS
    int x = 0, y = 0;   // the window's screen position
    int width = 0, height = 0, zoom = 100;
};

struct TextLayout {
    int no = 0;
    int x = 0, y = 0;           // the window's screen position
    int width = 0, height = 0;  // client size
};

struct WindowLayout {
    std::vector<ImageLayout> images;
    std::vector<TextLayout> texts;
    InputBoxLayout input;
    ButtonBoxLayout buttons;
};

// Reads the open windows; on the thread that owns them.
WindowLayout collect_window_layout();

// The calls that recreate `layout`, one per line, with section comments.
std::string layout_source(const WindowLayout& layout);

// Shift-JIS text as the inside of a C string literal: quotes, backslashes
// and control characters escaped, double-byte characters left whole.
std::string c_string_body(std::string_view sjis);

}  // namespace mav
