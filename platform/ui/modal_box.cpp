#include "modal_box.h"

#include <algorithm>
#include <cstdint>

#include "plat/controls.h"
#include "plat/metrics.h"
#include "plat/window.h"
#include "ui_colors.h"

namespace plat::ui {

Point centred_on(Hwnd owner, Size outer) {
    Rect area{0, 0, screen_size().width, screen_size().height};
    if (owner && is_window(owner)) area = window_rect(owner);
    return {std::max(0, area.left + (area.width() - outer.width) / 2),
            std::max(0, area.top + (area.height() - outer.height) / 2)};
}

Hwnd create_modal_window(const char* class_name, std::string_view caption, Size client, Hwnd owner, void* state) {
    constexpr std::uint32_t kBoxStyle = style::Caption | style::CloseBox | style::Visible;
    Rect wr = adjust_window_rect({0, 0, client.width, client.height}, kBoxStyle, false);
    Point at = centred_on(owner, wr.size());
    CreateParams p;
    p.class_name = class_name;
    p.title = std::string(caption);
    p.style = kBoxStyle;
    p.rect = Rect::from_xywh(at.x, at.y, wr.width(), wr.height());
    p.user_data = reinterpret_cast<std::intptr_t>(state);
    return create_window(p);
}

void activate_modal_window(Hwnd box, Hwnd first) {
    set_foreground(box);
    set_focus(first);
    if (is_edit(first)) set_edit_selection(first, 0, -1);
}

void close_modal_window(Hwnd box, Hwnd owner, std::initializer_list<Hwnd> parts) {
    for (Hwnd part : parts)
        if (is_window(part)) set_user_data(part, 0);
    set_user_data(box, 0);
    destroy_window(box);
    if (owner && is_window(owner)) set_foreground(owner);
}

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else if (c != '\r') {
            cur += c;
        }
    }
    lines.push_back(cur);
    return lines;
}

int widest_line(const std::vector<std::string>& lines) {
    const FixedFont& font = FixedFont::instance();
    int w = 0;
    for (const auto& l : lines) w = std::max(w, font.text_width(l));
    return w;
}

void draw_lines(Dc& dc, Point at, const std::vector<std::string>& lines) {
    dc.set_bk_mode(BkMode::Transparent);
    dc.set_text_color(kText);
    for (const auto& line : lines) {
        dc.draw_text(at, line);
        at.y += FixedFont::kCellHeight;
    }
}

}  // namespace plat::ui
