// The list box. Rows are held as one shared, never-changed vector, so that
// the per-window state copies in and out cheaply and any thread may read it.
#include "list_box.h"

#include <algorithm>
#include <memory>

#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "plat/gfx/theme.h"

namespace plat::ui {

namespace {

constexpr const char* kListClass = "plat_listbox";
constexpr int kBarWidth = 6;  // the position bar inside the right edge
constexpr int kWheelRows = 3;

using Items = std::shared_ptr<const std::vector<std::string>>;
using IconKinds = std::shared_ptr<const std::vector<int>>;

struct ListState {
    Items items = std::make_shared<const std::vector<std::string>>();
    IconKinds icon_kinds = std::make_shared<const std::vector<int>>();
    ListIcons icons;
    int selected = -1;
    int top = 0;
};

ControlStates<ListState>& states() { return ControlStates<ListState>::instance(); }
ListState state_of(Hwnd h) { return states().get(h); }

int count_of(const ListState& st) { return int(st.items->size()); }

int rows_in_view(Hwnd h) {
    return std::max(1, (client_rect(h).height() - 2 * kListInset) / kListRowHeight);
}

bool needs_bar(Hwnd h, const ListState& st) { return count_of(st) > rows_in_view(h); }

void clamp_top(Hwnd h, ListState& st) {
    st.top = std::clamp(st.top, 0, std::max(0, count_of(st) - rows_in_view(h)));
}

void scroll_into_view(Hwnd h, ListState& st) {
    int rows = rows_in_view(h);
    if (st.selected >= 0) {
        if (st.selected < st.top) st.top = st.selected;
        if (st.selected >= st.top + rows) st.top = st.selected - rows + 1;
    }
    clamp_top(h, st);
}

void store(Hwnd h, const ListState& st) {
    states().put(h, st);
    invalidate(h);
}

// The user's choice: stored, shown, and told to the parent when it changed.
void choose(Hwnd h, ListState st, int index) {
    if (count_of(st) == 0) return;
    index = std::clamp(index, 0, count_of(st) - 1);
    bool changed = index != st.selected;
    st.selected = index;
    scroll_into_view(h, st);
    store(h, st);
    if (changed) notify_parent(h, kListChosen);
    notify_parent(h, kListPicked);
}

Rect bar_track(Hwnd h) {
    Rect r = client_rect(h);
    return {r.right - kListInset - kBarWidth, kListInset, r.right - kListInset, r.bottom - kListInset};
}

void paint(Hwnd h, Dc& outer) {
    Rect r = client_rect(h);
    ListState st = state_of(h);
    outer.fill_rect(r, theme::kLight);
    draw_sunken_border(outer, r);
    bool bar = needs_bar(h, st);
    Rect inside{kListInset, kListInset, bar ? bar_track(h).left : r.right - kListInset, r.bottom - kListInset};
    Rect clip = inside.translated(outer.origin().x, outer.origin().y).intersected(outer.clip());
    Dc dc(outer.surface(), outer.origin(), clip);
    dc.set_bk_mode(BkMode::Transparent);
    bool focused = focus_window() == h;
    int rows = rows_in_view(h);
    for (int i = 0; i < rows && st.top + i < count_of(st); ++i) {
        int index = st.top + i;
        int y = kListInset + i * kListRowHeight;
        Rect row{inside.left, y, inside.right, y + kListRowHeight};
        bool sel = index == st.selected;
        if (sel) dc.fill_rect(row, focused ? theme::kHighlight : theme::kFace);
        int x = inside.left + 3;
        if (st.icons.paint) {
            const auto& kinds = *st.icon_kinds;
            st.icons.paint(dc, {x, y}, std::size_t(index) < kinds.size() ? kinds[std::size_t(index)] : 0);
            x += st.icons.width;
        }
        dc.set_text_color(sel && focused ? theme::kHighlightText : theme::kText);
        dc.draw_text({x, y}, (*st.items)[std::size_t(index)]);
        if (sel && focused) draw_focus_rect(dc, row);
    }
    if (bar) {
        Rect track = bar_track(h);
        outer.fill_rect(track, theme::kFace);
        int n = count_of(st);
        int len = std::max(8, track.height() * rows / n);
        int y = track.top + (track.height() - len) * st.top / std::max(1, n - rows);
        outer.fill_rect({track.left + 1, y, track.right - 1, y + len}, theme::kShadow);
    }
}

void on_key(Hwnd h, const Message& m) {
    ListState st = state_of(h);
    int page = std::max(1, rows_in_view(h) - 1);
    switch (m.key) {
    case key::Up: choose(h, st, st.selected < 0 ? 0 : st.selected - 1); break;
    case key::Down: choose(h, st, st.selected + 1); break;
    case key::PageUp: choose(h, st, st.selected - page); break;
    case key::PageDown: choose(h, st, std::max(0, st.selected) + page); break;
    case key::Home: choose(h, st, 0); break;
    case key::End: choose(h, st, count_of(st) - 1); break;
    default: break;
    }
}

char folded(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// A typed letter goes to the next row that starts with it, round the list.
void on_char(Hwnd h, char32_t ch) {
    if (ch < 0x21 || ch >= 0x7F) return;
    ListState st = state_of(h);
    int n = count_of(st);
    for (int k = 1; k <= n; ++k) {
        int i = (std::max(0, st.selected) + k) % n;
        const std::string& item = (*st.items)[std::size_t(i)];
        if (!item.empty() && folded(item[0]) == folded(char(ch))) {
            choose(h, st, i);
            return;
        }
    }
}

// True when the click landed on a row.
bool on_click(Hwnd h, Point pos) {
    if (focus_window() != h) set_focus(h);
    ListState st = state_of(h);
    if (needs_bar(h, st) && pos.x >= bar_track(h).left) {
        // The bar pages towards the click.
        int rows = rows_in_view(h);
        Rect track = bar_track(h);
        int n = count_of(st);
        int thumb_top = track.top + (track.height() - std::max(8, track.height() * rows / n)) * st.top /
                                        std::max(1, n - rows);
        st.top += pos.y < thumb_top ? -rows : rows;
        clamp_top(h, st);
        store(h, st);
        return false;
    }
    if (pos.y < kListInset) return false;
    int row = st.top + (pos.y - kListInset) / kListRowHeight;
    if (row >= count_of(st)) return false;
    choose(h, st, row);
    return true;
}

bool list_proc(Message& m) {
    Hwnd h = m.window;
    if (handle_lifetime_and_paint<ListState>(m, paint)) return true;
    switch (m.kind) {
    case MsgKind::SetFocus:
    case MsgKind::KillFocus:
        invalidate(h);
        return true;
    case MsgKind::LButtonDown:
        on_click(h, m.pos);
        return true;
    case MsgKind::LButtonDblClk:
        if (on_click(h, m.pos)) notify_parent(h, kListActivated);
        return true;
    case MsgKind::MouseWheel: {
        ListState st = state_of(h);
        st.top -= m.wheel / 120 * kWheelRows;
        clamp_top(h, st);
        store(h, st);
        return true;
    }
    case MsgKind::KeyDown:
        on_key(h, m);
        return true;
    case MsgKind::Char:
        on_char(h, m.ch);
        return true;
    default:
        return false;
    }
}

}  // namespace

Hwnd create_list_box(Hwnd parent, Rect rect, int id, ListIcons icons) {
    Hwnd h = create_control({kListClass, theme::kLight, list_proc, false, true}, parent, rect, "", id, ctl::TabStop);
    if (h && icons.paint) {
        ListState st = state_of(h);
        st.icons = icons;
        store(h, st);
    }
    return h;
}

bool is_list_box(Hwnd h) { return h && class_name(h) == kListClass; }

void set_list_items(Hwnd h, std::vector<std::string> items, std::vector<int> icon_kinds) {
    if (!is_list_box(h)) return;
    ListState st;
    st.icons = state_of(h).icons;
    st.items = std::make_shared<const std::vector<std::string>>(std::move(items));
    st.icon_kinds = std::make_shared<const std::vector<int>>(std::move(icon_kinds));
    store(h, st);
}

int list_count(Hwnd h) { return count_of(state_of(h)); }

std::string list_item(Hwnd h, int index) {
    ListState st = state_of(h);
    return index >= 0 && index < count_of(st) ? (*st.items)[std::size_t(index)] : std::string();
}

void set_list_selection(Hwnd h, int index) {
    if (!is_list_box(h)) return;
    ListState st = state_of(h);
    st.selected = index >= 0 && index < count_of(st) ? index : -1;
    scroll_into_view(h, st);
    store(h, st);
}

int list_selection(Hwnd h) { return state_of(h).selected; }

int list_top(Hwnd h) { return state_of(h).top; }

}  // namespace plat::ui
