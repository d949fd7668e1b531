// Popup menus tracked modally: the calling thread loops with the mouse
// captured until an item is chosen or the menu is dismissed.
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "plat/core/keys.h"
#include "plat/ui/popup_menu.h"
#include "plat/core/menu.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "modal_loop.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kPopupClass = "plat_popup";
constexpr int kItemHeight = 18;
constexpr int kSeparatorHeight = 8;
constexpr int kMarginLeft = 20;   // room for the check mark
constexpr int kMarginRight = 20;  // room for the submenu arrow
constexpr int kAccelGap = 24;

std::string label_of(const MenuItem& item) {
    std::string t = menu_display_text(item.text);
    auto tab = t.find('\t');
    return tab == std::string::npos ? t : t.substr(0, tab);
}

std::string accel_of(const MenuItem& item) {
    auto tab = item.text.find('\t');
    return tab == std::string::npos ? std::string() : menu_display_text(item.text.substr(tab + 1));
}

bool selectable(const MenuItem& item) { return !item.separator && !item.grayed; }

// One open level of the menu.
struct Level {
    const Menu* menu = nullptr;
    Hwnd window;
    Rect rect;  // screen
    std::vector<Rect> items;  // client coordinates
    int hot = -1;
};

struct Tracker {
    std::vector<std::unique_ptr<Level>> levels;
    int chosen = 0;  // the command chosen
    bool done = false;
};

// What the driver may look at: the items of every open level, by screen
// rectangle, innermost last.
struct OpenItem {
    std::string label;
    std::string full;
    Rect screen;
    bool selectable;
};
std::mutex g_open_mutex;
std::vector<std::vector<OpenItem>> g_open_levels;

void publish(const Tracker& t) {
    std::vector<std::vector<OpenItem>> levels;
    for (const auto& lv : t.levels) {
        std::vector<OpenItem> items;
        for (std::size_t i = 0; i < lv->items.size(); ++i) {
            const MenuItem& it = lv->menu->items[i];
            if (it.separator) continue;
            Rect r = lv->items[i].translated(lv->rect.left + 1, lv->rect.top + 1);
            items.push_back({label_of(it), menu_display_text(it.text), r, selectable(it)});
        }
        levels.push_back(std::move(items));
    }
    std::lock_guard lock(g_open_mutex);
    g_open_levels = std::move(levels);
}

void paint_level(const Level& lv, Dc& dc) {
    const FixedFont& font = FixedFont::instance();
    dc.set_bk_mode(BkMode::Transparent);
    for (std::size_t i = 0; i < lv.items.size(); ++i) {
        const MenuItem& item = lv.menu->items[i];
        const Rect& r = lv.items[i];
        if (item.separator) {
            int y = r.top + r.height() / 2 - 1;
            dc.hline(r.left + 2, r.right - 2, y, theme::kShadow);
            dc.hline(r.left + 2, r.right - 2, y + 1, theme::kLight);
            continue;
        }
        bool hot = int(i) == lv.hot && !item.grayed;
        if (hot) dc.fill_rect(r, theme::kHighlight);
        Color fg = item.grayed ? theme::kGrayText : (hot ? theme::kHighlightText : theme::kText);
        dc.set_text_color(fg);
        int ty = r.top + (r.height() - FixedFont::kCellHeight) / 2;
        dc.draw_text({r.left + kMarginLeft, ty}, label_of(item));
        std::string accel = accel_of(item);
        if (!accel.empty())
            dc.draw_text({r.right - kMarginRight - font.text_width(accel), ty}, accel);
        if (item.checked) {
            // A small tick.
            int x = r.left + 6, y = r.top + 8;
            for (int k = 0; k < 3; ++k) dc.fill_rect(Rect::from_xywh(x + k, y + k, 1, 2), fg);
            for (int k = 0; k < 5; ++k) dc.fill_rect(Rect::from_xywh(x + 3 + k, y + 1 - k, 1, 2), fg);
        }
        if (item.submenu) {
            int x = r.right - 12, y = r.top + r.height() / 2;
            for (int k = 0; k < 4; ++k) dc.vline(x + k, y - 3 + k, y + 4 - k, fg);
        }
    }
}

bool popup_proc(Message& m) {
    if (m.kind != MsgKind::Paint) return false;
    auto* lv = reinterpret_cast<const Level*>(user_data(m.window));
    if (lv) paint_level(*lv, *m.dc);
    return true;
}

std::unique_ptr<Level> open_level(const Menu& menu, Point at, int avoid_left) {
    const FixedFont& font = FixedFont::instance();
    auto lv = std::make_unique<Level>();
    lv->menu = &menu;
    int label_w = 0, accel_w = 0, height = 0;
    for (const MenuItem& item : menu.items) {
        label_w = std::max(label_w, font.text_width(label_of(item)));
        accel_w = std::max(accel_w, font.text_width(accel_of(item)));
        height += item.separator ? kSeparatorHeight : kItemHeight;
    }
    int inner_w = kMarginLeft + label_w + (accel_w ? kAccelGap + accel_w : 0) + kMarginRight;
    int y = 2;
    for (const MenuItem& item : menu.items) {
        int h = item.separator ? kSeparatorHeight : kItemHeight;
        lv->items.push_back(Rect::from_xywh(2, y, inner_w, h));
        y += h;
    }
    Size size{inner_w + 4 + 2, height + 4 + 2};  // two-pixel margin and the border
    // Keep the menu on screen: flip left or up when it would run off. A top
    // menu flips away from its point, so that the release of the press that
    // opened it does not land on an item; a submenu flips to its parent's left
    // and slides up.
    Size screen = screen_size();
    bool submenu = avoid_left >= 0;
    if (at.x + size.width > screen.width) at.x = (submenu ? avoid_left : at.x) - size.width;
    if (at.y + size.height > screen.height)
        at.y = submenu ? screen.height - size.height : at.y - size.height;
    at.x = std::max(0, at.x);
    at.y = std::max(0, at.y);
    lv->rect = Rect::from_xywh(at.x, at.y, size.width, size.height);

    ui::ensure_class({kPopupClass, popup_proc, theme::kFace});
    CreateParams p;
    p.class_name = kPopupClass;
    p.style = style::ThinBorder | style::TopMost | style::NoActivate | style::Visible;
    p.rect = lv->rect;
    p.user_data = reinterpret_cast<std::intptr_t>(lv.get());
    lv->window = create_window(p);
    // The border is part of the window: item rectangles are in client terms.
    return lv;
}

void close_levels_above(Tracker& t, std::size_t keep) {
    while (t.levels.size() > keep) {
        destroy_window(t.levels.back()->window);
        t.levels.pop_back();
    }
    publish(t);
}

void set_hot(Level& lv, int hot) {
    if (lv.hot == hot) return;
    lv.hot = hot;
    invalidate(lv.window);
}

void open_submenu(Tracker& t, std::size_t level_index) {
    Level& lv = *t.levels[level_index];
    if (lv.hot < 0) return;
    const MenuItem& item = lv.menu->items[std::size_t(lv.hot)];
    if (!item.submenu || item.grayed) return;
    close_levels_above(t, level_index + 1);
    Rect ir = lv.items[std::size_t(lv.hot)];
    Point at{lv.rect.right - 3, lv.rect.top + ir.top - 3};
    t.levels.push_back(open_level(*item.submenu, at, lv.rect.left + 3));
    publish(t);
}

// Level and item under a screen point; item -1 when between items.
bool locate(const Tracker& t, Point screen, std::size_t& level, int& item) {
    for (std::size_t l = t.levels.size(); l-- > 0;) {
        const Level& lv = *t.levels[l];
        if (!lv.rect.contains(screen)) continue;
        level = l;
        item = -1;
        Point c{screen.x - lv.rect.left - 1, screen.y - lv.rect.top - 1};
        for (std::size_t i = 0; i < lv.items.size(); ++i)
            if (lv.items[i].contains(c)) item = int(i);
        return true;
    }
    return false;
}

int step_hot(const Level& lv, int dir) {
    int n = int(lv.menu->items.size());
    int h = lv.hot;
    for (int k = 0; k < n; ++k) {
        h = h < 0 ? (dir > 0 ? 0 : n - 1) : (h + dir + n) % n;
        if (selectable(lv.menu->items[std::size_t(h)])) return h;
    }
    return lv.hot;
}

// What the menu makes of a message of its thread: true when it took it, false
// for what is dispatched as usual.
bool take_message(Tracker& t, const Message& m) {
    switch (m.kind) {
    case MsgKind::MouseMove: {
        std::size_t l;
        int item;
        if (!locate(t, m.screen_pos, l, item)) break;
        Level& lv = *t.levels[l];
        set_hot(lv, item);
        if (item >= 0 && lv.menu->items[std::size_t(item)].submenu) open_submenu(t, l);
        else close_levels_above(t, l + 1);
        break;
    }
    case MsgKind::LButtonDown:
    case MsgKind::RButtonDown:
    case MsgKind::LButtonUp:
    case MsgKind::RButtonUp: {
        bool down = m.kind == MsgKind::LButtonDown || m.kind == MsgKind::RButtonDown;
        std::size_t l;
        int item;
        if (!locate(t, m.screen_pos, l, item)) {
            if (down) t.done = true;  // a press outside dismisses the menu
            break;
        }
        if (down || item < 0) break;
        const MenuItem& it = t.levels[l]->menu->items[std::size_t(item)];
        if (!selectable(it)) break;
        if (it.submenu) {
            set_hot(*t.levels[l], item);
            open_submenu(t, l);
            break;
        }
        t.chosen = it.command;
        t.done = true;
        break;
    }
    case MsgKind::KeyDown: {
        Level& lv = *t.levels.back();
        if (m.key == key::Escape) {
            if (t.levels.size() == 1) t.done = true;
            else close_levels_above(t, t.levels.size() - 1);
        } else if (m.key == key::Down || m.key == key::Up) {
            set_hot(lv, step_hot(lv, m.key == key::Down ? 1 : -1));
        } else if (m.key == key::Right) {
            open_submenu(t, t.levels.size() - 1);
            if (t.levels.back().get() != &lv) set_hot(*t.levels.back(), step_hot(*t.levels.back(), 1));
        } else if (m.key == key::Left) {
            if (t.levels.size() > 1) close_levels_above(t, t.levels.size() - 1);
        } else if (m.key == key::Enter && lv.hot >= 0) {
            const MenuItem& it = lv.menu->items[std::size_t(lv.hot)];
            if (it.submenu) {
                open_submenu(t, t.levels.size() - 1);
            } else if (selectable(it)) {
                t.chosen = it.command;
                t.done = true;
            }
        }
        break;
    }
    case MsgKind::KeyUp:
    case MsgKind::Char:
        break;  // keys belong to the menu while it is open
    default:
        return false;
    }
    return true;
}

}  // namespace

std::optional<Rect> find_open_menu_item(std::string_view text) {
    std::lock_guard lock(g_open_mutex);
    for (auto lv = g_open_levels.rbegin(); lv != g_open_levels.rend(); ++lv)
        for (const OpenItem& it : *lv)
            if (it.label == text || it.full == text) return it.screen;
    return std::nullopt;
}

int track_popup_menu(const Menu& menu, Point screen, Hwnd owner) {
    if (menu.items.empty()) return 0;
    Tracker t;
    t.levels.push_back(open_level(menu, screen, -1));
    publish(t);
    Hwnd capture_holder = t.levels[0]->window;
    set_capture(capture_holder);
    ui::ModalLoop loop;
    loop.run([&] { return t.done; },
             [&](Message& m) {
                 if (owner && !is_window(owner)) {  // the owner went: so does the menu
                     t.done = true;
                     return true;
                 }
                 return take_message(t, m);
             });
    if (capture_window() == capture_holder) release_capture();
    close_levels_above(t, 0);
    return t.chosen;
}

}  // namespace plat
