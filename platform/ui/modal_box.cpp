#include "modal_box.h"

#include <algorithm>
#include <cstdint>

#include "plat/ui/controls.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "plat/gfx/theme.h"

namespace plat::ui {

Point centred_on(Hwnd owner, Size outer) {
    const Rect screen = work_area();
    const Rect area = owner && is_window(owner) ? window_rect(owner) : screen;
    // Slid back onto the work area where the owner sits near its edge; a
    // box larger than the work area keeps its top-left corner on it.
    auto onto = [](int centred, int size, int low, int high) {
        return std::max(low, std::min(centred, high - size));
    };
    return {onto(area.left + (area.width() - outer.width) / 2, outer.width, screen.left, screen.right),
            onto(area.top + (area.height() - outer.height) / 2, outer.height, screen.top, screen.bottom)};
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
    // Owned, so that the box stays above its owner and goes with it.
    if (owner && is_window(owner)) p.owner = owner;
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
    dc.set_text_color(theme::kText);
    for (const auto& line : lines) {
        dc.draw_text(at, line);
        at.y += FixedFont::kCellHeight;
    }
}

}  // namespace plat::ui
