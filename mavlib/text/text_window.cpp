// Opening, selecting and closing text windows, and their window procedure.
#include "text/text_window.h"

#include <cstdio>

#include "mavlib.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "runtime/snapping.h"
#include "text/text_input.h"
#include "text/text_menu.h"
#include "tools/text_log.h"

namespace mav {

namespace {

constexpr std::uint32_t kTextStyle = plat::style::Caption | plat::style::CloseBox | plat::style::SizingBorder;

TextWindow* g_windows = new TextWindow[kTextSlots];
std::atomic<int> g_current{0};

bool valid(int no) { return no >= 0 && no < kTextSlots; }

void paint(TextWindow& tw, plat::Message& m) {
    std::lock_guard lock(tw.m);
    m.dc->blit(m.rect.top_left(), tw.contents, m.rect);
}

void on_size(TextWindow& tw) {
    plat::Rect c = plat::client_rect(tw.window);
    {
        std::lock_guard lock(tw.m);
        tw.width = c.width();
        tw.height = c.height();
        tw.contents = plat::Surface(tw.width, tw.height);
        reset_contents(tw);
    }
    rebuild_snap_list();
    plat::invalidate(tw.window);
}

}  // namespace

TextWindow& text_window(int no) { return g_windows[no]; }
std::atomic<int>& current_text_window() { return g_current; }

int text_window_number(plat::Hwnd h) {
    if (!h) return -1;
    for (int i = 0; i < kTextSlots; ++i)
        if (g_windows[i].open.load() && g_windows[i].window == h) return i;
    return -1;
}

void reset_contents(TextWindow& tw) {
    std::lock_guard lock(tw.m);
    tw.contents.fill(0x000000);
    tw.cursor_x = 0;
    tw.cursor_y = 0;
}

void draw_cells(TextWindow& tw, int x, int y, std::u16string_view units) {
    std::lock_guard lock(tw.m);
    plat::Dc dc(tw.contents);
    dc.set_bk_mode(plat::BkMode::Opaque);
    dc.set_text_color(plat::Color(tw.text_color));
    dc.set_bk_color(plat::Color(tw.back_color));
    for (char16_t u : units) {
        int w = cells_of(u) * tw.cell_width;
        dc.fill_rect(plat::Rect::from_xywh(x, y, w, tw.line_height), plat::Color(tw.back_color));
        char32_t cp = (u >= 0xD800 && u <= 0xDFFF) ? U'\uFFFD' : char32_t(u);
        char utf8[4];
        int n = 0;
        if (cp < 0x80) {
            utf8[n++] = char(cp);
        } else if (cp < 0x800) {
            utf8[n++] = char(0xC0 | (cp >> 6));
            utf8[n++] = char(0x80 | (cp & 0x3F));
        } else {
            utf8[n++] = char(0xE0 | (cp >> 12));
            utf8[n++] = char(0x80 | ((cp >> 6) & 0x3F));
            utf8[n++] = char(0x80 | (cp & 0x3F));
        }
        dc.set_bk_mode(plat::BkMode::Transparent);
        dc.draw_text({x, y}, std::string_view(utf8, std::size_t(n)));
        x += w;
    }
}

bool new_line(TextWindow& tw) {
    std::lock_guard lock(tw.m);
    tw.cursor_x = 0;
    tw.cursor_y += tw.line_height;
    if (tw.cursor_y + tw.line_height < tw.height) return false;
    // Scroll one line: the band below the first line moves up, and what is
    // freed is filled black whatever the background colour.
    int lh = tw.line_height;
    plat::Surface& s = tw.contents;
    for (int y = lh; y < tw.cursor_y && y < s.height(); ++y)
        std::copy(s.row32(y), s.row32(y) + s.width(), s.row32(y - lh));
    tw.cursor_y -= lh;
    plat::Dc dc(s);
    dc.fill_rect({0, tw.cursor_y, s.width(), s.height()}, 0x000000);
    return true;
}

void close_text_window(int no) {
    if (!valid(no)) return;
    TextWindow& tw = g_windows[no];
    if (!tw.open.exchange(0)) return;
    // The log ends with its window: a later window of this number starts without one.
    close_log(tw);
    if (g_current.load() == no) {
        for (int i = 0; i < kTextSlots; ++i)
            if (g_windows[i].open.load()) {
                g_current = i;
                break;
            }
    }
    // A line input waiting on this window ends empty.
    int expected = no + 1;
    frame().input_pending.compare_exchange_strong(expected, 0);
    windows().text[no] = 0;
    plat::Hwnd h = tw.window;
    {
        std::lock_guard lock(tw.m);
        tw.contents = plat::Surface();
        tw.window = {};
    }
    plat::destroy_window(h);
}

bool text_window_proc(plat::Message& m) {
    int no = text_window_number(m.window);
    switch (m.kind) {
    case plat::MsgKind::Move:
    case plat::MsgKind::Moving:
        return handle_snapping(m);
    case plat::MsgKind::Size:
        if (no >= 0) on_size(g_windows[no]);
        return true;
    case plat::MsgKind::Paint:
        if (no >= 0) paint(g_windows[no], m);
        return true;
    case plat::MsgKind::Close:
        if (no >= 0) close_text_window(no);
        else plat::destroy_window(m.window);
        return true;
    case plat::MsgKind::Char:
        queue_typed_char(m);
        return true;
    case plat::MsgKind::KeyDown:
        if (no >= 0) text_window_key(no, m);
        return true;
    case plat::MsgKind::RButtonDown:
        // The client area's menu; a right click on the caption or the frame opens none.
        if (no >= 0 && !m.non_client) text_window_popup(no, m.screen_pos);
        return true;
    case plat::MsgKind::Command:
        if (no >= 0) text_window_command(no, m.command_id);
        return true;
    default:
        return false;
    }
}

void register_text_requests() {
    set_request_handler(kReqOpenText, [](RequestSlot& s) { MAV_OpenTextWindow(s.index, -1, -1, -1, -1); });
}

}  // namespace mav

using namespace mav;

int MAV_OpenTextWindow(int no, int x, int y, int w, int h) {
    if (!valid(no)) return 2;
    TextWindow& tw = g_windows[no];
    if (tw.open.load()) {
        plat::set_foreground(tw.window);
        g_current = no;
        return 1;
    }
    if (w < 0) w = kDefaultTextWidth;
    if (h < 0) h = kDefaultTextHeight;
    {
        std::lock_guard lock(tw.m);
        tw.width = w;
        tw.height = h;
        tw.text_color = 0xFFFFFF;
        tw.back_color = 0x000000;
        tw.cursor_x = tw.cursor_y = 0;
        tw.cell_width = plat::FixedFont::kCellWidth;
        tw.line_height = plat::FixedFont::kCellHeight;
        for (int i = 0; i < kColorStackDepth; ++i) {
            tw.text_stack[i] = tw.text_color;
            tw.back_stack[i] = tw.back_color;
        }
        tw.contents = plat::Surface(w, h);
        tw.contents.fill(0x000000);
        tw.log_state = 0;
        tw.log_file = nullptr;
    }
    g_current = no;
    char caption[32];
    std::snprintf(caption, sizeof caption, "TextWindow %d", no);
    plat::Rect wr = plat::adjust_window_rect({0, 0, w, h}, kTextStyle, false);
    plat::CreateParams p;
    p.class_name = "mav_twi";
    p.title = caption;
    p.style = kTextStyle | plat::style::Visible;
    p.owner = main_window();
    int left = x < 0 ? plat::kDefaultPos : x;
    int top = y < 0 ? plat::kDefaultPos : y;
    p.rect = {left, top, left + wr.width(), top + wr.height()};  // a default corner keeps the size
    plat::Hwnd win = plat::create_window(p);
    if (!win) return 3;
    {
        std::lock_guard lock(tw.m);
        tw.window = win;
    }
    tw.open = 1;
    windows().text[no] = win.id;
    rebuild_snap_list();
    plat::update_window(win);
    plat::set_foreground(win);
    return 0;
}

int MAV_EnsureTextWindow(void) {
    int cur = g_current.load();
    if (valid(cur) && g_windows[cur].open.load()) {
        plat::set_foreground(g_windows[cur].window);
        return 0;
    }
    plat::Size fs = plat::full_screen_client();
    plat::Rect wa = plat::work_area();
    return MAV_OpenTextWindow(0, fs.width / 2 - 200, wa.height() / 2 - 150, kDefaultTextWidth, kDefaultTextHeight);
}

int MAV_SelectTextWindow(int no) {
    if (!valid(no) || !g_windows[no].open.load()) return 1;
    g_current = no;
    return 0;
}

int MAV_CloseTextWindow(int no) {
    if (!valid(no) || !g_windows[no].open.load()) return 1;
    close_text_window(no);
    return 0;
}
