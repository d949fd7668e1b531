// Horizontal slider: a sunken groove and a raised thumb. The range and the
// position are kept here per slider, so that any thread may read them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kSliderClass = "plat_slider";
constexpr int kThumbWidth = 11;
constexpr int kEndInset = 2;  // room for the focus rectangle beside the thumb at either end

struct SliderState {
    SliderRange range;  // normalised: step >= 1, max >= min, page >= step
    std::int32_t pos = 0;
    bool dragging = false;
    int grab = 0;  // where in the thumb the mouse took it, from its centre
};

ui::ControlStates<SliderState>& states() { return ui::ControlStates<SliderState>::instance(); }
SliderState state_of(Hwnd h) { return states().get(h); }
void store_state(Hwnd h, const SliderState& st) { states().put(h, st); }

SliderRange normalised(SliderRange r) {
    r.step = std::max<std::int32_t>(1, r.step);
    r.max = std::max(r.min, r.max);
    if (r.page <= 0) {
        std::int64_t tenth = (std::int64_t(r.max) - r.min) / 10;
        r.page = std::int32_t(std::max<std::int64_t>(1, tenth / r.step) * r.step);
    }
    r.page = std::max(r.page, r.step);
    return r;
}

// The step from min nearest to `v`; past the ends, the ends. A max that is
// not on a step is out of reach: the last step below it is the top.
std::int32_t snapped(const SliderRange& r, std::int64_t v) {
    std::int64_t span = std::int64_t(r.max) - r.min;
    std::int64_t top = span - span % r.step;
    std::int64_t off = std::clamp<std::int64_t>(v - r.min, 0, top);
    off = (off + r.step / 2) / r.step * r.step;
    return std::int32_t(r.min + std::min(off, top));
}

// The thumb centre's travel in client x: [left, right].
struct Travel {
    int left, right;
};
Travel travel(Hwnd h) {
    int w = client_rect(h).width();
    int left = kEndInset + kThumbWidth / 2;
    return {left, std::max(left, w - 1 - kEndInset - kThumbWidth / 2)};
}

int thumb_centre(Hwnd h, const SliderState& st) {
    Travel t = travel(h);
    std::int64_t span = std::int64_t(st.range.max) - st.range.min;
    if (span == 0) return t.left;
    return t.left + int((std::int64_t(st.pos) - st.range.min) * (t.right - t.left) / span);
}

std::int64_t value_at(Hwnd h, const SliderState& st, int x) {
    Travel t = travel(h);
    std::int64_t span = std::int64_t(st.range.max) - st.range.min;
    int width = t.right - t.left;
    if (width <= 0 || span == 0) return st.range.min;
    std::int64_t dx = std::clamp(x, t.left, t.right) - t.left;
    return st.range.min + (dx * span + width / 2) / width;
}

void tell_parent(Hwnd h) { ui::notify_parent(h, notify::Scroll); }

// Moves the thumb as the user asked; the parent hears of a new position only.
void move_to(Hwnd h, SliderState& st, std::int64_t v) {
    std::int32_t pos = snapped(st.range, v);
    bool changed = pos != st.pos;
    st.pos = pos;
    store_state(h, st);
    if (!changed) return;
    invalidate(h);
    tell_parent(h);
}

void draw_focus_rect(Dc& dc, Rect r) {
    for (int x = r.left; x < r.right; x += 2) {
        dc.fill_rect(Rect::from_xywh(x, r.top, 1, 1), theme::kText);
        dc.fill_rect(Rect::from_xywh(x, r.bottom - 1, 1, 1), theme::kText);
    }
    for (int y = r.top; y < r.bottom; y += 2) {
        dc.fill_rect(Rect::from_xywh(r.left, y, 1, 1), theme::kText);
        dc.fill_rect(Rect::from_xywh(r.right - 1, y, 1, 1), theme::kText);
    }
}

void paint(Hwnd h, Dc& dc) {
    Rect r = client_rect(h);
    SliderState st = state_of(h);
    bool enabled = control_enabled(h);
    Travel t = travel(h);

    // The groove: four pixels high, sunken, across the thumb's travel.
    int gy = r.height() / 2 - 2;
    Rect groove{t.left - kThumbWidth / 2, gy, t.right + kThumbWidth / 2 + 1, gy + 4};
    dc.fill_rect(groove, enabled ? theme::kLight : theme::kFace);
    dc.hline(groove.left, groove.right - 1, groove.top, theme::kShadow);
    dc.vline(groove.left, groove.top, groove.bottom - 1, theme::kShadow);
    dc.hline(groove.left + 1, groove.right - 2, groove.top + 1, enabled ? theme::kDark : theme::kShadow);
    dc.hline(groove.left, groove.right, groove.bottom - 1, theme::kLight);
    dc.vline(groove.right - 1, groove.top, groove.bottom, theme::kLight);

    // The thumb: raised like a button; greyed, it keeps only its light and
    // shadow edges.
    int cx = thumb_centre(h, st);
    int th = std::max(8, r.height() - 6);
    Rect thumb = Rect::from_xywh(cx - kThumbWidth / 2, (r.height() - th) / 2, kThumbWidth, th);
    dc.fill_rect(thumb, theme::kFace);
    dc.hline(thumb.left, thumb.right - 1, thumb.top, theme::kLight);
    dc.vline(thumb.left, thumb.top, thumb.bottom - 1, theme::kLight);
    dc.hline(thumb.left, thumb.right, thumb.bottom - 1, enabled ? theme::kDark : theme::kShadow);
    dc.vline(thumb.right - 1, thumb.top, thumb.bottom, enabled ? theme::kDark : theme::kShadow);
    if (enabled) {
        dc.hline(thumb.left + 1, thumb.right - 1, thumb.bottom - 2, theme::kShadow);
        dc.vline(thumb.right - 2, thumb.top + 1, thumb.bottom - 1, theme::kShadow);
    }
    if (enabled && focus_window() == h) draw_focus_rect(dc, r);
}

bool on_key(Hwnd h, const Message& m) {
    SliderState st = state_of(h);
    std::int64_t pos = st.pos;
    switch (m.key) {
    case key::Left: move_to(h, st, pos - st.range.step); return true;
    case key::Right: move_to(h, st, pos + st.range.step); return true;
    case key::PageDown: move_to(h, st, pos - st.range.page); return true;
    case key::PageUp: move_to(h, st, pos + st.range.page); return true;
    case key::Home: move_to(h, st, st.range.min); return true;
    case key::End: move_to(h, st, st.range.max); return true;
    default: return false;
    }
}

bool slider_proc(Message& m) {
    Hwnd h = m.window;
    if (ui::is_user_input(m.kind) && !control_enabled(h)) return true;
    switch (m.kind) {
    case MsgKind::Create: {
        states().add(h);
        SliderState st;
        st.range = normalised(st.range);
        store_state(h, st);
        return true;
    }
    case MsgKind::Destroy:
        ui::forget_control<SliderState>(h);
        return true;
    case MsgKind::Paint:
        paint(h, *m.dc);
        return true;
    case MsgKind::SetFocus:
        invalidate(h);
        return true;
    case MsgKind::KillFocus: {
        SliderState st = state_of(h);
        st.dragging = false;
        store_state(h, st);
        if (capture_window() == h) release_capture();
        invalidate(h);
        return true;
    }
    case MsgKind::LButtonDown:
    case MsgKind::LButtonDblClk: {
        if (focus_window() != h) set_focus(h);
        SliderState st = state_of(h);
        int cx = thumb_centre(h, st);
        // Taken by the thumb, it keeps its place under the mouse; pressed on
        // the groove, it jumps there first.
        st.grab = std::abs(m.pos.x - cx) <= kThumbWidth / 2 ? m.pos.x - cx : 0;
        st.dragging = true;
        set_capture(h);
        move_to(h, st, value_at(h, st, m.pos.x - st.grab));
        return true;
    }
    case MsgKind::MouseMove: {
        SliderState st = state_of(h);
        if (st.dragging) move_to(h, st, value_at(h, st, m.pos.x - st.grab));
        return true;
    }
    case MsgKind::LButtonUp: {
        SliderState st = state_of(h);
        st.dragging = false;
        store_state(h, st);
        if (capture_window() == h) release_capture();
        return true;
    }
    case MsgKind::KeyDown:
        return on_key(h, m);
    case MsgKind::Char:
        return true;  // a slider takes no text
    default:
        return false;
    }
}

}  // namespace

Hwnd create_slider(Hwnd parent, Rect rect, int id, std::uint32_t extra_style) {
    return ui::create_control({kSliderClass, theme::kFace, slider_proc}, parent, rect, "", id, extra_style);
}

bool is_slider(Hwnd h) { return h && class_name(h) == kSliderClass; }

void set_slider_range(Hwnd h, SliderRange range) {
    if (!is_slider(h)) return;
    SliderState st = state_of(h);
    st.range = normalised(range);
    st.pos = snapped(st.range, st.pos);
    store_state(h, st);
    invalidate(h);
}

SliderRange slider_range(Hwnd h) { return state_of(h).range; }

void set_slider_pos(Hwnd h, std::int64_t pos) {
    if (!is_slider(h)) return;
    SliderState st = state_of(h);
    std::int32_t p = snapped(st.range, pos);
    if (p == st.pos) return;
    st.pos = p;
    store_state(h, st);
    invalidate(h);
}

std::int32_t slider_pos(Hwnd h) { return state_of(h).pos; }

}  // namespace plat
