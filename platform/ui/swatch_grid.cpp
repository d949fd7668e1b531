// The swatch grid: each cell a sunken square of its colour; the chosen cell
// framed in black, and with a dotted rectangle while the grid has the focus.
#include "swatch_grid.h"

#include <algorithm>

#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "plat/gfx/theme.h"

namespace plat::ui {

namespace {

constexpr const char* kGridClass = "plat_swatches";

struct GridState {
    std::vector<Color> colors;
    int columns = 1;
    int selected = -1;
};

ControlStates<GridState>& states() { return ControlStates<GridState>::instance(); }
GridState state_of(Hwnd h) { return states().get(h); }

int rows_of(const GridState& st) { return (int(st.colors.size()) + st.columns - 1) / st.columns; }

Rect cell_rect(Hwnd h, const GridState& st, int index) {
    Rect r = client_rect(h);
    int rows = std::max(1, rows_of(st));
    int col = index % st.columns, row = index / st.columns;
    return {r.width() * col / st.columns, r.height() * row / rows, r.width() * (col + 1) / st.columns,
            r.height() * (row + 1) / rows};
}

void paint(Hwnd h, Dc& dc) {
    GridState st = state_of(h);
    dc.fill_rect(client_rect(h), theme::kFace);
    bool focused = focus_window() == h;
    // With no cell chosen, the focus shows round the whole grid.
    if (focused && st.selected < 0) draw_focus_rect(dc, client_rect(h));
    for (int i = 0; i < int(st.colors.size()); ++i) {
        Rect cell = cell_rect(h, st, i);
        Rect swatch{cell.left + 3, cell.top + 3, cell.right - 3, cell.bottom - 3};
        dc.fill_rect(swatch, st.colors[std::size_t(i)]);
        dc.hline(swatch.left - 1, swatch.right, swatch.top - 1, theme::kShadow);
        dc.vline(swatch.left - 1, swatch.top - 1, swatch.bottom, theme::kShadow);
        dc.hline(swatch.left - 1, swatch.right + 1, swatch.bottom, theme::kLight);
        dc.vline(swatch.right, swatch.top - 1, swatch.bottom + 1, theme::kLight);
        if (i != st.selected) continue;
        dc.frame_rect({cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1}, theme::kText);
        if (focused) draw_focus_rect(dc, cell);
    }
}

// The user's choice: stored, shown and told to the parent.
void choose(Hwnd h, GridState st, int index) {
    if (index < 0 || index >= int(st.colors.size())) return;
    st.selected = index;
    states().put(h, st);
    invalidate(h);
    notify_parent(h, kSwatchChosen);
}

void on_key(Hwnd h, int k) {
    GridState st = state_of(h);
    int n = int(st.colors.size());
    if (n == 0) return;
    if (st.selected < 0) {
        if (k == key::Left || k == key::Right || k == key::Up || k == key::Down || k == key::Home || k == key::End)
            choose(h, st, 0);
        return;
    }
    int i = st.selected;
    switch (k) {
    case key::Left: i = std::max(0, i - 1); break;
    case key::Right: i = std::min(n - 1, i + 1); break;
    case key::Up: i = i >= st.columns ? i - st.columns : i; break;
    case key::Down: i = i + st.columns < n ? i + st.columns : i; break;
    case key::Home: i = 0; break;
    case key::End: i = n - 1; break;
    default: return;
    }
    if (i != st.selected) choose(h, st, i);
}

bool grid_proc(Message& m) {
    Hwnd h = m.window;
    if (handle_lifetime_and_paint<GridState>(m, paint)) return true;
    switch (m.kind) {
    case MsgKind::SetFocus:
    case MsgKind::KillFocus:
        invalidate(h);
        return true;
    case MsgKind::LButtonDown:
    case MsgKind::LButtonDblClk: {
        if (focus_window() != h) set_focus(h);
        GridState st = state_of(h);
        for (int i = 0; i < int(st.colors.size()); ++i)
            if (cell_rect(h, st, i).contains(m.pos)) choose(h, st, i);
        return true;
    }
    case MsgKind::KeyDown:
        on_key(h, m.key);
        return true;
    case MsgKind::Char:
        return true;
    default:
        return false;
    }
}

}  // namespace

Hwnd create_swatch_grid(Hwnd parent, Rect rect, int id, int columns, std::vector<Color> colors) {
    Hwnd h = create_control({kGridClass, theme::kFace, grid_proc, false}, parent, rect, "", id, ctl::TabStop);
    if (!h) return h;
    GridState st;
    st.colors = std::move(colors);
    st.columns = std::max(1, columns);
    states().put(h, st);
    invalidate(h);
    return h;
}

void set_swatch_color(Hwnd h, int index, Color c) {
    GridState st = state_of(h);
    if (index < 0 || index >= int(st.colors.size())) return;
    st.colors[std::size_t(index)] = c;
    states().put(h, st);
    invalidate(h);
}

Color swatch_color(Hwnd h, int index) {
    GridState st = state_of(h);
    return index >= 0 && index < int(st.colors.size()) ? st.colors[std::size_t(index)] : 0;
}

void set_swatch_selection(Hwnd h, int index) {
    GridState st = state_of(h);
    st.selected = index >= 0 && index < int(st.colors.size()) ? index : -1;
    states().put(h, st);
    invalidate(h);
}

int swatch_selection(Hwnd h) { return state_of(h).selected; }

}  // namespace plat::ui
