// Check box: a small sunken white box, ticked when checked, and its caption.
#include <algorithm>
#include <string>

#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kCheckClass = "plat_checkbox";
constexpr int kBox = 13;
constexpr int kCaptionGap = 5;

struct CheckState {
    bool checked = false;
    ui::PressState press;  // pressed: the box drawn grey
};

ui::ControlStates<CheckState>& states() { return ui::ControlStates<CheckState>::instance(); }
CheckState state_of(Hwnd h) { return states().get(h); }
void store_state(Hwnd h, const CheckState& st) { states().put(h, st); }

void draw_tick(Dc& dc, Rect box, Color c) {
    // Seven columns: down three rows, then up four, three pixels thick.
    int x = box.left + 3, y = box.top + 5;
    for (int i = 0; i < 7; ++i) {
        int dy = i < 3 ? i : 4 - i;
        dc.vline(x + i, y + dy, y + dy + 3, c);
    }
}

void paint(Hwnd h, Dc& dc) {
    Rect r = client_rect(h);
    CheckState st = state_of(h);
    bool enabled = control_enabled(h);
    Rect box = Rect::from_xywh(0, (r.height() - kBox) / 2, kBox, kBox);
    dc.fill_rect(box, enabled && !st.press.pressed ? theme::kLight : theme::kFace);
    ui::draw_sunken_border(dc, box);
    if (st.checked) draw_tick(dc, box, enabled ? theme::kText : theme::kGrayText);

    std::string caption = window_text(h);
    int tx = kBox + kCaptionGap;
    int ty = (r.height() - FixedFont::kCellHeight) / 2;
    dc.set_bk_mode(BkMode::Transparent);
    dc.set_text_color(enabled ? theme::kText : theme::kGrayText);
    int end = dc.draw_text({tx, ty}, caption);
    if (enabled && focus_window() == h)
        ui::draw_focus_rect(dc, {tx - 2, std::max(0, ty - 1), std::min(r.right, end + 2),
                                 std::min(r.bottom, ty + FixedFont::kCellHeight + 1)});
}

// Toggles it and tells the parent, which reads the new state.
void toggle(Hwnd h, CheckState& st) {
    st.checked = !st.checked;
    store_state(h, st);
    invalidate(h);
    ui::notify_parent(h, notify::Clicked);
}

bool check_proc(Message& m) {
    Hwnd h = m.window;
    if (ui::is_user_input(m.kind) && !control_enabled(h)) return true;
    if (ui::handle_lifetime_and_paint<CheckState>(m, paint)) return true;
    switch (m.kind) {
    case MsgKind::SetFocus:
        invalidate(h);
        return true;
    case MsgKind::Char:
        return true;
    default: {
        CheckState st = state_of(h);
        const ui::PressResult r = ui::track_press(h, m, st.press);
        if (!r.handled) return false;
        store_state(h, st);
        if (r.redraw || m.kind == MsgKind::KillFocus) invalidate(h);
        if (r.clicked) toggle(h, st);
        return true;
    }
    }
}

}  // namespace

Hwnd create_check_box(Hwnd parent, Rect rect, std::string_view caption, int id, std::uint32_t extra_style) {
    return ui::create_control({kCheckClass, theme::kFace, check_proc}, parent, rect, caption, id, extra_style);
}

bool is_check_box(Hwnd h) { return h && class_name(h) == kCheckClass; }

void set_checked(Hwnd h, bool checked) {
    if (!is_check_box(h)) return;
    CheckState st = state_of(h);
    if (st.checked == checked) return;
    st.checked = checked;
    store_state(h, st);
    invalidate(h);
}

bool is_checked(Hwnd h) { return state_of(h).checked; }

}  // namespace plat
