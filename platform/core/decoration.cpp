#include "decoration.h"

#include <algorithm>

#include "backend_interface.h"
#include "registry.h"
#include "plat/core/metrics.h"
#include "plat/gfx/theme.h"

namespace plat::detail {

namespace {

int border_of(std::uint32_t st) {
    if (st & style::SizingBorder) return metrics().sizing_frame;
    if (st & (style::Caption | style::ThinBorder)) return metrics().thin_frame;
    return 0;
}

}  // namespace

DecorationInsets decoration_insets(std::uint32_t st, bool has_menu) {
    if (st & style::Child) {
        int b = (st & style::ThinBorder) ? 1 : 0;
        return {b, b, b, b};
    }
    int b = border_of(st);
    int top = b + ((st & style::Caption) ? metrics().caption_height : 0) +
              (has_menu ? metrics().menu_bar_height : 0);
    return {b, top, b, b};
}

DecorationLayout decoration_layout(std::uint32_t st, bool has_menu, Size window) {
    DecorationLayout f;
    DecorationInsets in = decoration_insets(st, has_menu);
    f.border = in.left;
    int y = f.border;
    if (!(st & style::Child) && (st & style::Caption)) {
        f.caption = {f.border, y, window.width - f.border, y + metrics().caption_height};
        if (st & style::CloseBox) {
            int s = metrics().close_box_size;
            int top = f.caption.top + (metrics().caption_height - s) / 2;
            f.close_box = {f.caption.right - 2 - s, top, f.caption.right - 2, top + s};
        }
        y = f.caption.bottom;
    }
    if (!(st & style::Child) && has_menu) {
        f.menu_bar = {f.border, y, window.width - f.border, y + metrics().menu_bar_height};
    }
    f.client = {in.left, in.top, std::max(in.left, window.width - in.right),
                std::max(in.top, window.height - in.bottom)};
    return f;
}

Hit decoration_hit(std::uint32_t st, bool has_menu, Size window, Point p) {
    Rect whole{0, 0, window.width, window.height};
    if (!whole.contains(p)) return Hit::Nowhere;
    DecorationLayout f = decoration_layout(st, has_menu, window);
    if (f.client.contains(p)) return Hit::Client;
    if (f.close_box.contains(p)) return Hit::CloseBox;
    if (f.caption.contains(p)) return Hit::Caption;
    if (f.menu_bar.contains(p)) return Hit::MenuBar;
    if (!(st & style::SizingBorder)) return Hit::Border;
    // Corners take a little more than the border so that they can be grabbed.
    int corner = metrics().sizing_frame + metrics().caption_height / 2;
    bool left = p.x < f.border, right = p.x >= window.width - f.border;
    bool top = p.y < f.border, bottom = p.y >= window.height - f.border;
    bool near_left = p.x < corner, near_right = p.x >= window.width - corner;
    bool near_top = p.y < corner, near_bottom = p.y >= window.height - corner;
    if ((top && near_left) || (left && near_top)) return Hit::TopLeft;
    if ((top && near_right) || (right && near_top)) return Hit::TopRight;
    if ((bottom && near_left) || (left && near_bottom)) return Hit::BottomLeft;
    if ((bottom && near_right) || (right && near_bottom)) return Hit::BottomRight;
    if (left) return Hit::Left;
    if (right) return Hit::Right;
    if (top) return Hit::Top;
    if (bottom) return Hit::Bottom;
    return Hit::Border;
}

std::vector<Rect> menu_bar_cells(const Menu& menu, Rect bar) {
    std::vector<Rect> cells;
    int x = bar.left + 4;
    for (const MenuItem& item : menu.items) {
        int w = FixedFont::instance().text_width(menu_display_text(item.text)) + 12;
        cells.push_back({x, bar.top + 1, x + w, bar.bottom - 1});
        x += w;
    }
    return cells;
}

namespace {

void draw_menu_bar(Dc& dc, const Rect& bar, const Menu& menu, int hot) {
    dc.fill_rect(bar, theme::kFace);
    dc.set_bk_mode(BkMode::Transparent);
    std::vector<Rect> cells = menu_bar_cells(menu, bar);
    for (std::size_t i = 0; i < menu.items.size(); ++i) {
        const MenuItem& item = menu.items[i];
        std::string text = menu_display_text(item.text);
        const Rect& cell = cells[i];
        if (int(i) == hot) {
            dc.fill_rect(cell, theme::kActiveCaption);
            dc.set_text_color(theme::kActiveCaptionText);
        } else {
            dc.set_text_color(item.grayed ? theme::kShadow : theme::kText);
        }
        dc.draw_text({cell.left + 6, bar.top + (bar.height() - FixedFont::kCellHeight) / 2}, text);
    }
    dc.hline(bar.left, bar.right, bar.bottom - 1, theme::kLight);
}

void draw_close_box(Dc& dc, const Rect& box) {
    dc.fill_rect(box, theme::kFace);
    dc.hline(box.left, box.right, box.top, theme::kLight);
    dc.vline(box.left, box.top, box.bottom, theme::kLight);
    dc.hline(box.left, box.right, box.bottom - 1, theme::kDark);
    dc.vline(box.right - 1, box.top, box.bottom, theme::kDark);
    // A cross, two pixels thick.
    int n = box.width() - 8;
    for (int i = 0; i < n; ++i) {
        for (int t = 0; t < 2; ++t) {
            dc.fill_rect(Rect::from_xywh(box.left + 4 + i + t, box.top + 4 + i, 1, 1), theme::kText);
            dc.fill_rect(Rect::from_xywh(box.right - 5 - i - t, box.top + 4 + i, 1, 1), theme::kText);
        }
    }
}

}  // namespace

void redraw_decoration(Hwnd h) {
    auto w = find_window_data(h);
    if (!w) return;
    std::uint32_t st;
    std::string title;
    MenuPtr menu;
    int hot;
    bool active;
    {
        auto& r = registry();
        std::lock_guard lock(r.m);
        st = w->style;
        title = w->title;
        menu = w->menu;
        hot = w->hot_menu_item;
        active = r.active == w->id;
    }
    if (st & style::Child) {
        if (!(st & style::ThinBorder)) return;
        std::lock_guard slock(w->surface_mutex);
        Dc dc(w->surface);
        dc.frame_rect(w->surface.rect(), theme::kDark);
        return;
    }
    {
        std::lock_guard slock(w->surface_mutex);
        Surface& s = w->surface;
        if (s.is_null()) return;
        Dc dc(s);
        DecorationLayout f = decoration_layout(st, menu != nullptr, s.size());
        Rect whole = s.rect();
        if (f.border > 0) {
            // Outer edge: raised, then button face.
            Rect inner = whole;
            for (int i = 0; i < f.border; ++i) {
                Color tl = i == 0 ? theme::kFace : (i == 1 ? theme::kLight : theme::kFace);
                Color br = i == 0 ? theme::kDark : (i == 1 ? theme::kShadow : theme::kFace);
                if (f.border == 1) {
                    tl = theme::kShadow;
                    br = theme::kDark;
                }
                dc.hline(inner.left, inner.right, inner.top, tl);
                dc.vline(inner.left, inner.top, inner.bottom, tl);
                dc.hline(inner.left, inner.right, inner.bottom - 1, br);
                dc.vline(inner.right - 1, inner.top, inner.bottom, br);
                inner = {inner.left + 1, inner.top + 1, inner.right - 1, inner.bottom - 1};
            }
        }
        if (!f.caption.is_empty()) {
            dc.fill_rect(f.caption, active ? theme::kActiveCaption : theme::kInactiveCaption);
            Dc text_dc(s, {0, 0}, Rect{f.caption.left, f.caption.top,
                                       f.close_box.is_empty() ? f.caption.right : f.close_box.left - 2,
                                       f.caption.bottom});
            text_dc.set_bk_mode(BkMode::Transparent);
            text_dc.set_text_color(active ? theme::kActiveCaptionText : theme::kInactiveCaptionText);
            text_dc.draw_text({f.caption.left + 4,
                               f.caption.top + (f.caption.height() - FixedFont::kCellHeight) / 2},
                              title);
            if (!f.close_box.is_empty()) draw_close_box(dc, f.close_box);
        }
        if (menu && !f.menu_bar.is_empty()) draw_menu_bar(dc, f.menu_bar, *menu, hot);
    }
    notify_changed(h);
}

void resize_surface(Hwnd h) {
    auto w = find_window_data(h);
    if (!w) return;
    Size size;
    Color bg;
    {
        auto& r = registry();
        std::lock_guard lock(r.m);
        size = w->rect.size();
        bg = w->background;
        w->invalid = Rect{0, 0, 1 << 20, 1 << 20};
    }
    {
        std::lock_guard slock(w->surface_mutex);
        if (w->surface.size() != size) {
            w->surface = Surface(std::max(size.width, 0), std::max(size.height, 0));
            w->surface.fill(bg);
        }
    }
    redraw_decoration(h);
}

}  // namespace plat::detail
