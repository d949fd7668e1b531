// Printing into the current text window, clearing it, and its colours.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "mavlib.h"
#include "plat/base/codepage.h"
#include "plat/core/window.h"
#include "text/text_window.h"

namespace mav {

namespace {

constexpr std::size_t kFormatBuffer = 4096;

// Cuts formatted Shift-JIS text to `limit` bytes without splitting a
// two-byte character.
std::size_t sjis_safe_length(const char* s, std::size_t len, std::size_t limit) {
    if (len <= limit) return len;
    std::size_t i = 0;
    while (i < limit) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        std::size_t step = lead ? 2 : 1;
        if (i + step > limit) break;
        i += step;
    }
    return i;
}

TextWindow* current_open() {
    int no = current_text_window().load();
    if (no < 0 || no >= kTextSlots) return nullptr;
    TextWindow& tw = text_window(no);
    return tw.open.load() ? &tw : nullptr;
}

// Walks the text keeping a pending run: newlines and wraps draw the run at
// the cursor and start a new line.
void print_units(TextWindow& tw, std::u16string_view text) {
    std::lock_guard lock(tw.m);
    std::size_t run_start = 0;
    int pen_x = tw.cursor_x;
    auto flush = [&](std::size_t end) {
        if (end > run_start) draw_cells(tw, tw.cursor_x, tw.cursor_y, text.substr(run_start, end - run_start));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t ch = text[i];
        if (ch == u'\n') {
            flush(i);
            new_line(tw);
            run_start = i + 1;
            pen_x = 0;
            continue;
        }
        int w = cells_of(ch) * tw.cell_width;
        if (pen_x + w > tw.width) {
            flush(i);
            new_line(tw);
            run_start = i;
            pen_x = 0;
        }
        pen_x += w;
    }
    if (run_start < text.size()) {
        flush(text.size());
        tw.cursor_x = pen_x;
    }
}

}  // namespace

void print_text(std::string_view sjis) {
    TextWindow* tw = current_open();
    if (!tw) return;
    {
        std::lock_guard lock(tw->m);
        if (tw->log_state == 1 && tw->log_file) {
            std::fwrite(sjis.data(), 1, sjis.size(), tw->log_file);
        }
    }
    print_units(*tw, plat::sjis_to_utf16(sjis, kFormatBuffer));
    plat::invalidate(tw->window);
    MAV_PumpMessages();
}

}  // namespace mav

using namespace mav;

int MAV_Printf(const char* format, ...) {
    if (!format || !current_open()) return 0;
    char buf[kFormatBuffer];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n < 0) return 0;
    // Longer output is cut at 4095 bytes, on a character boundary.
    std::size_t len = sjis_safe_length(buf, std::min<std::size_t>(std::size_t(n), kFormatBuffer - 1), kFormatBuffer - 1);
    print_text(std::string_view(buf, len));
    return int(len);
}

int MAV_ClearTextWindow(void) {
    TextWindow* tw = current_open();
    if (!tw) return 1;
    {
        std::lock_guard lock(tw->m);
        reset_contents(*tw);
        if (tw->log_state == 1 && tw->log_file) std::fputc('\n', tw->log_file);
    }
    plat::invalidate(tw->window);
    return 0;
}

int MAV_PushTextColor(int fg, int bg) {
    TextWindow* tw = current_open();
    if (!tw) return 1;
    std::lock_guard lock(tw->m);
    for (int i = kColorStackDepth - 1; i > 0; --i) {
        tw->text_stack[i] = tw->text_stack[i - 1];
        tw->back_stack[i] = tw->back_stack[i - 1];
    }
    tw->text_stack[0] = tw->text_color;
    tw->back_stack[0] = tw->back_color;
    tw->text_color = fg;
    tw->back_color = bg;
    return 0;
}

int MAV_PopTextColor(void) {
    TextWindow* tw = current_open();
    if (!tw) return 1;
    std::lock_guard lock(tw->m);
    tw->text_color = tw->text_stack[0];
    tw->back_color = tw->back_stack[0];
    // The last entry stays: popping more than was pushed keeps giving the oldest pair.
    for (int i = 0; i < kColorStackDepth - 1; ++i) {
        tw->text_stack[i] = tw->text_stack[i + 1];
        tw->back_stack[i] = tw->back_stack[i + 1];
    }
    return 0;
}
