// What a press on a window's decoration does: the move and size loops, the close
// box, and the menu bar. Each runs modally on the window's own thread, with
// the mouse captured, until the button is released.
#include <algorithm>

#include "decoration.h"
#include "menu_tracking.h"
#include "registry.h"
#include "plat/core/keys.h"
#include "plat/core/metrics.h"

namespace plat::detail {

namespace {

Rect sized_rect(Rect r, Hit edge, int dx, int dy) {
    switch (edge) {
    case Hit::Left: r.left += dx; break;
    case Hit::Right: r.right += dx; break;
    case Hit::Top: r.top += dy; break;
    case Hit::Bottom: r.bottom += dy; break;
    case Hit::TopLeft: r.left += dx; r.top += dy; break;
    case Hit::TopRight: r.right += dx; r.top += dy; break;
    case Hit::BottomLeft: r.left += dx; r.bottom += dy; break;
    case Hit::BottomRight: r.right += dx; r.bottom += dy; break;
    default: break;
    }
    return r;
}

bool moves_left(Hit e) { return e == Hit::Left || e == Hit::TopLeft || e == Hit::BottomLeft; }
bool moves_top(Hit e) { return e == Hit::Top || e == Hit::TopLeft || e == Hit::TopRight; }

// Keeps a sized rectangle at least the minimum window size, holding the
// edge that is not being dragged.
Rect enforce_min_size(Rect r, Hit edge) {
    Size min = metrics().min_window;
    if (r.width() < min.width) {
        if (moves_left(edge)) r.left = r.right - min.width;
        else r.right = r.left + min.width;
    }
    if (r.height() < min.height) {
        if (moves_top(edge)) r.top = r.bottom - min.height;
        else r.bottom = r.top + min.height;
    }
    return r;
}

// Runs a modal capture loop; `on_move` gets each mouse message (its screen
// position and the modifiers held when it happened). Returns false when
// Escape cancelled it.
template <typename OnMove>
bool capture_loop(Hwnd h, OnMove on_move) {
    set_capture(h);
    bool ok = true;
    Message m;
    for (;;) {
        if (!get_message(m)) {
            post_quit_message(int(m.param));
            break;
        }
        if (m.window == h && m.kind == MsgKind::MouseMove) {
            on_move(m);
            continue;
        }
        if (m.window == h && m.kind == MsgKind::LButtonUp) {
            on_move(m);
            break;
        }
        if (m.kind == MsgKind::KeyDown && m.key == key::Escape) {
            ok = false;
            break;
        }
        if (!is_window(h)) break;
        translate_message(m);
        dispatch_message(m);
    }
    if (capture_window() == h) release_capture();
    return ok;
}

void move_loop(Message& down) {
    Hwnd h = down.window;
    Rect start = window_rect(h);
    Point anchor = down.screen_pos;
    bool ok = capture_loop(h, [&](const Message& mouse) {
        Point p = mouse.screen_pos;
        Message moving;
        moving.window = h;
        moving.kind = MsgKind::Moving;
        moving.rect = start.translated(p.x - anchor.x, p.y - anchor.y);
        moving.ctrl = mouse.ctrl;
        moving.shift = mouse.shift;
        Message sent = moving;
        dispatch_message(sent);
        set_window_rect(h, start.moved_to(sent.rect.top_left()));  // moving never resizes
    });
    if (!ok) set_window_rect(h, start);
}

void size_loop(Message& down) {
    Hwnd h = down.window;
    Rect start = window_rect(h);
    Point anchor = down.screen_pos;
    Hit edge = down.hit;
    bool ok = capture_loop(h, [&](const Message& mouse) {
        Point p = mouse.screen_pos;
        Message sizing;
        sizing.window = h;
        sizing.kind = MsgKind::Sizing;
        sizing.hit = edge;
        sizing.rect = enforce_min_size(sized_rect(start, edge, p.x - anchor.x, p.y - anchor.y), edge);
        sizing.ctrl = mouse.ctrl;
        dispatch_message(sizing);
        set_window_rect(h, sizing.rect);
    });
    if (!ok) set_window_rect(h, start);
}

void close_box_loop(Message& down) {
    Hwnd h = down.window;
    Point last = down.screen_pos;
    capture_loop(h, [&](const Message& mouse) { last = mouse.screen_pos; });
    if (is_window(h) && hit_test(h, last) == Hit::CloseBox) {
        Message close;
        close.window = h;
        close.kind = MsgKind::Close;
        post_message(close);
    }
}

void set_hot_item(Hwnd h, int item) {
    auto w = find_window_data(h);
    if (!w) return;
    {
        auto& r = registry();
        std::lock_guard lock(r.m);
        w->hot_menu_item = item;
    }
    redraw_decoration(h);
}

void menu_bar_click(Message& down) {
    Hwnd h = down.window;
    MenuPtr menu = menu_bar(h);
    if (!menu) return;
    Rect wr = window_rect(h);
    DecorationLayout f = decoration_layout(window_style(h), true, wr.size());
    Point p{down.screen_pos.x - wr.left, down.screen_pos.y - wr.top};
    std::vector<Rect> cells = menu_bar_cells(*menu, f.menu_bar);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (!cells[i].contains(p)) continue;
        const MenuItem& item = menu->items[i];
        if (item.separator || item.grayed) return;
        int command = item.command;
        if (item.submenu) {
            set_hot_item(h, int(i));
            command = track_popup_menu_hook(*item.submenu, {wr.left + cells[i].left, wr.top + cells[i].bottom + 1}, h);
            set_hot_item(h, -1);
        } else {
            // A bar item that is a command runs when the button goes up.
            set_hot_item(h, int(i));
            Point last = down.screen_pos;
            capture_loop(h, [&](const Message& mouse) { last = mouse.screen_pos; });
            set_hot_item(h, -1);
            Point lp{last.x - wr.left, last.y - wr.top};
            if (!cells[i].contains(lp)) command = 0;
        }
        if (command) {
            Message cmd;
            cmd.window = h;
            cmd.kind = MsgKind::Command;
            cmd.command_id = command;
            post_message(cmd);
        }
        return;
    }
}

}  // namespace

void run_decoration_click(Message& msg) {
    if (window_style(msg.window) & style::Child) return;
    switch (msg.hit) {
    case Hit::Caption:
        move_loop(msg);
        break;
    case Hit::CloseBox:
        close_box_loop(msg);
        break;
    case Hit::MenuBar:
        menu_bar_click(msg);
        break;
    case Hit::Left: case Hit::Right: case Hit::Top: case Hit::Bottom:
    case Hit::TopLeft: case Hit::TopRight: case Hit::BottomLeft: case Hit::BottomRight:
        if (window_style(msg.window) & style::SizingBorder) size_loop(msg);
        break;
    default:
        break;
    }
}

}  // namespace plat::detail
