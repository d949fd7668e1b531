#include "text/text_input.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "mavlib.h"
#include "plat/core/clipboard.h"
#include "plat/base/clock.h"
#include "plat/base/codepage.h"
#include "plat/core/window.h"
#include "runtime/pump.h"
#include "runtime/status_line.h"
#include "text/text_window.h"

namespace mav {

namespace {

constexpr std::size_t kRingSize = 256;
constexpr std::size_t kMaxLine = 255;
constexpr int kBlinkMs = 200;

enum Request { kNoRequest = 0, kRecall = 1, kPaste = 2 };

std::mutex g_ring_mutex;
std::deque<char16_t> g_ring;  // at most kRingSize units
std::atomic<int> g_request{kNoRequest};

// The last line entered. Lines are read on the user thread and, for the main
// window's dialogues, on the window thread: kept under a lock.
std::mutex g_recall_mutex;
std::u16string g_recall;

void remember_line(const std::u16string& line) {
    std::lock_guard lock(g_recall_mutex);
    g_recall = line.substr(0, kMaxLine);
}

std::u16string remembered_line() {
    std::lock_guard lock(g_recall_mutex);
    return g_recall;
}

bool ring_push(char16_t u) {
    std::lock_guard lock(g_ring_mutex);
    if (g_ring.size() >= kRingSize) return false;
    g_ring.push_back(u);
    return true;
}

char16_t ring_take() {
    std::lock_guard lock(g_ring_mutex);
    if (g_ring.empty()) return 0;
    char16_t u = g_ring.front();
    g_ring.pop_front();
    return u;
}

void paste_first_line() {
    auto text = plat::clipboard::text();
    if (!text) return;
    for (char16_t u : *text) {
        if (u == 0 || u == u'\n' || u == u'\r') break;
        if (!ring_push(u)) break;
    }
}

// Converts a line to Shift-JIS in at most 255 bytes, whole characters only.
std::string to_sjis_line(const std::u16string& line) {
    std::string out;
    for (char16_t u : line) {
        std::string one = plat::utf16_to_sjis(std::u16string_view(&u, 1));
        if (out.size() + one.size() > kMaxLine) break;
        out += one;
    }
    return out;
}

struct LineEditor {
    TextWindow& tw;
    std::u16string line;
    std::vector<int> wraps;  // x positions saved when the line wrapped
    bool cursor_shown = true;

    int cw() const { return tw.cell_width; }

    void draw(int x, char16_t u) { draw_cells(tw, x, tw.cursor_y, std::u16string_view(&u, 1)); }
    void invalidate_cell(int x, int cells) {
        plat::invalidate(tw.window, plat::Rect::from_xywh(x, tw.cursor_y, cells * cw(), tw.line_height));
    }
    void draw_cursor(bool shown) {
        draw(tw.cursor_x, shown ? u'_' : u' ');
        invalidate_cell(tw.cursor_x, 1);
    }
    void wrap() {
        if (new_line(tw)) plat::invalidate(tw.window);
    }
    void up_one_line() {
        tw.cursor_y = std::max(0, tw.cursor_y - tw.line_height);
    }

    void type(char16_t u) {
        std::lock_guard lock(tw.m);
        int cells = cells_of(u);
        if (cells == 2 && tw.cursor_x > tw.width - 2 * cw()) {
            // A wide character that does not fit moves to the next line.
            draw(tw.cursor_x, u' ');
            invalidate_cell(tw.cursor_x, 1);
            wraps.push_back(tw.cursor_x + 2 * cw());
            wrap();
        }
        draw(tw.cursor_x, u);
        invalidate_cell(tw.cursor_x, cells);
        if (tw.cursor_x + cells * cw() > tw.width - cw()) {
            wraps.push_back(tw.cursor_x);
            wrap();
        } else {
            tw.cursor_x += cells * cw();
        }
        line.push_back(u);
        draw_cursor(true);
    }

    void backspace() {
        std::lock_guard lock(tw.m);
        char16_t last = line.back();
        int cells = cells_of(last);
        draw(tw.cursor_x, u' ');
        invalidate_cell(tw.cursor_x, 1);
        line.pop_back();
        if (tw.cursor_x == 0 && !wraps.empty()) {
            // At the start of a wrapped line: back to where the last character stood.
            tw.cursor_x = wraps.back();
            wraps.pop_back();
            up_one_line();
        } else {
            tw.cursor_x = std::max(0, tw.cursor_x - cells * cw());
        }
        if (cells == 2) {
            draw(tw.cursor_x, u'\u3000');
            invalidate_cell(tw.cursor_x, 2);
            if (tw.cursor_x == 0 && !wraps.empty() && wraps.back() >= tw.width) {
                // It had been moved to this line because it did not fit.
                tw.cursor_x = wraps.back() - 2 * cw();
                wraps.pop_back();
                up_one_line();
            }
        } else {
            draw(tw.cursor_x, u' ');
            invalidate_cell(tw.cursor_x, 1);
        }
        draw_cursor(true);
    }

    void enter() {
        std::lock_guard lock(tw.m);
        draw(tw.cursor_x, u' ');
        invalidate_cell(tw.cursor_x, 1);
        wrap();
        plat::invalidate(tw.window);
    }
};

}  // namespace

void queue_typed_char(const plat::Message& m) {
    if (!frame().input_pending.load() || m.ctrl) return;
    char32_t c = m.ch;
    // Control characters other than Backspace, Tab and Enter are not text.
    if (c < 0x20 && c != 0x08 && c != 0x09 && c != 0x0D) return;
    if (c > 0xFFFF) c = 0xFFFD;
    ring_push(char16_t(c));
}

bool input_request_outstanding() { return g_request.load() != kNoRequest; }
void request_recall() { g_request = kRecall; }
void request_paste() { g_request = kPaste; }

}  // namespace mav

using namespace mav;

int MAV_InputText(char* buf) {
    int no = current_text_window().load();
    if (no < 0 || no >= kTextSlots || !buf) return 1;
    TextWindow& tw = text_window(no);
    if (!tw.open.load()) return 1;
    // Pending before the window takes the focus: keys that reach it once it
    // has the focus are the line's.
    frame().input_pending = no + 1;
    plat::set_foreground(tw.window);
    buf[0] = '\0';
    show_status("Input text");

    double last_blink = plat::monotonic_ms();
    LineEditor ed{tw, {}, {}, true};
    ed.draw_cursor(true);
    int result = 0;
    for (;;) {
        // One message at a time: what follows the Enter (a click that opens a
        // menu, say) waits until the line is taken and input has ended.
        const bool more = pump_one_message() == PumpOne::Handled;
        char16_t ch = ring_take();
        if (ch == u'\t') ch = u' ';
        if (ch == u'\r') {
            frame().input_pending = 0;
            ed.enter();
            remember_line(ed.line);
            std::string out = to_sjis_line(ed.line);
            std::copy(out.begin(), out.end(), buf);
            buf[out.size()] = '\0';
            std::lock_guard lock(tw.m);
            if (tw.log_state == 1 && tw.log_file) std::fprintf(tw.log_file, "%s\n", buf);
            break;
        }
        const int req = g_request.exchange(kNoRequest);
        if (req == kRecall) {
            for (char16_t u : remembered_line()) {
                plat::Message m;
                m.window = tw.window;
                m.kind = plat::MsgKind::Char;
                m.ch = u;
                plat::post_message(m);
            }
        } else if (req == kPaste) {
            paste_first_line();
        }
        if (frame().input_pending.load() == 0) {
            buf[0] = '\0';  // cancelled: Exit, or the window closed
            result = 2;
            break;
        }
        if (ch == u'\b') {
            if (!ed.line.empty()) ed.backspace();
        } else if (ch != 0 && ed.line.size() < kMaxLine) {
            ed.type(ch);
        }
        double now = plat::monotonic_ms();
        if (now - last_blink > kBlinkMs) {
            ed.cursor_shown = !ed.cursor_shown;
            std::lock_guard lock(tw.m);
            ed.draw_cursor(ed.cursor_shown);
            last_blink = now;
        }
        if (ch == 0 && !more) plat::wait_for_messages(1);
    }
    show_depth_status();
    return result;
}
