// Text windows: the library's consoles. 256 numbered windows, one current;
// each keeps its contents in an off-screen surface that paint copies out.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "plat/gfx/gfx.h"
#include "plat/core/messages.h"
#include "runtime/frame_state.h"

namespace mav {

inline constexpr int kColorStackDepth = 8;
inline constexpr int kDefaultTextWidth = 400;
inline constexpr int kDefaultTextHeight = 300;

struct TextWindow {
    std::atomic<int> open{0};
    // Guards the contents and the cursor: printing may come from either thread
    // while the owner paints.
    std::recursive_mutex m;
    int width = 0, height = 0;
    int cursor_x = 0, cursor_y = 0;
    int cell_width = plat::FixedFont::kCellWidth;
    int line_height = plat::FixedFont::kCellHeight;
    int text_color = 0xFFFFFF;
    int back_color = 0x000000;
    int text_stack[kColorStackDepth] = {};
    int back_stack[kColorStackDepth] = {};
    plat::Hwnd window;
    plat::Surface contents;
    int log_state = 0;  // 0 none, 1 logging, 2 stopped
    std::FILE* log_file = nullptr;
};

TextWindow& text_window(int no);
std::atomic<int>& current_text_window();

// Cells a UTF-16 unit takes: one below U+0080, two otherwise.
inline int cells_of(char16_t ch) { return ch < 0x80 ? 1 : 2; }

// Draws units at a pixel position of the contents, opaque, each in its cells.
void draw_cells(TextWindow& tw, int x, int y, std::u16string_view units);
// Moves the cursor to the next line, scrolling one line if it would leave
// the window. Returns true when it scrolled.
bool new_line(TextWindow& tw);
// Fills the contents black and puts the cursor home.
void reset_contents(TextWindow& tw);

// The text window class procedure.
bool text_window_proc(plat::Message& msg);

// Closing rules shared by MAV_CloseTextWindow, the close box and Destroy.
void close_text_window(int no);

// The window number whose handle this is, or -1.
int text_window_number(plat::Hwnd h);

// Serves request 9005.
void register_text_requests();

}  // namespace mav
