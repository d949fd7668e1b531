#include "control_class.h"

#include <mutex>
#include <string>
#include <unordered_set>

#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/gfx/theme.h"

namespace plat::ui {

void ensure_class(const WindowClass& cls) {
    // Registering twice only fails the second time, so no once-flag is needed.
    if (!class_registered(cls.name)) register_class(cls);
}

bool is_within(Hwnd root, Hwnd h) {
    for (int depth = 0; h && depth < 64; ++depth) {
        if (h == root) return true;
        h = parent_of(h);
    }
    return false;
}

namespace {

Hwnd create_child(const WindowClass& cls, Hwnd parent, Rect rect, std::string_view text, int id,
                  std::uint32_t style, void* user_data) {
    ensure_class(cls);
    CreateParams p;
    p.class_name = cls.name;
    p.title = std::string(text);
    p.style = style::Child | style::Visible | style;
    p.rect = rect;
    p.parent = parent;
    p.control_id = id;
    p.user_data = reinterpret_cast<std::intptr_t>(user_data);
    return create_window(p);
}

}  // namespace

Hwnd create_control(const ControlClass& cls, Hwnd parent, Rect rect, std::string_view text, int id,
                    std::uint32_t style) {
    WindowClass wc;
    wc.name = cls.name;
    wc.background = cls.background;
    wc.proc = cls.proc;
    wc.paint_background = cls.paint_background;
    wc.double_clicks = cls.double_clicks;
    return create_child(wc, parent, rect, text, id, style, nullptr);
}

Hwnd create_dialog_part(const WindowClass& cls, Hwnd dialog, Rect rect, int id, void* state, std::uint32_t style) {
    return create_child(cls, dialog, rect, {}, id, style, state);
}

namespace {

// The disabled controls, by id; most controls never are, so they keep no
// flag of their own. Never destroyed, as ControlStates.
struct DisabledSet {
    std::mutex m;
    std::unordered_set<std::uint32_t> ids;
};
DisabledSet& disabled() {
    static auto* set = new DisabledSet;
    return *set;
}

}  // namespace

void forget_enabled_state(Hwnd h) {
    auto& d = disabled();
    std::lock_guard lock(d.m);
    d.ids.erase(h.id);
}

bool is_user_input(MsgKind kind) {
    switch (kind) {
    case MsgKind::KeyDown:
    case MsgKind::KeyUp:
    case MsgKind::Char:
    case MsgKind::LButtonDown:
    case MsgKind::LButtonDblClk:
    case MsgKind::LButtonUp:
    case MsgKind::MouseMove:
    case MsgKind::MouseWheel:
        return true;
    default:
        return false;
    }
}

void deliver(Message m) {
    if (owned_by_current_thread(m.window))
        send_message(m);
    else
        post_message(m);
}

void notify_parent(Hwnd h, int code) {
    Hwnd parent = parent_of(h);
    if (!parent) return;
    Message m;
    m.window = parent;
    m.kind = MsgKind::Command;
    m.command_id = control_id(h);
    m.notify = code;
    m.source = h;
    deliver(m);
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

void draw_sunken_border(Dc& dc, Rect r, bool inner_face) {
    dc.hline(r.left, r.right - 1, r.top, theme::kShadow);
    dc.vline(r.left, r.top, r.bottom - 1, theme::kShadow);
    dc.hline(r.left + 1, r.right - 2, r.top + 1, theme::kDark);
    dc.vline(r.left + 1, r.top + 1, r.bottom - 2, theme::kDark);
    dc.hline(r.left, r.right, r.bottom - 1, theme::kLight);
    dc.vline(r.right - 1, r.top, r.bottom, theme::kLight);
    if (!inner_face) return;
    dc.hline(r.left + 1, r.right - 1, r.bottom - 2, theme::kFace);
    dc.vline(r.right - 2, r.top + 1, r.bottom - 1, theme::kFace);
}

PressResult track_press(Hwnd h, const Message& m, PressState& st) {
    PressResult r;
    const bool was_pressed = st.pressed;
    switch (m.kind) {
    case MsgKind::KillFocus:
        st.space_down = false;
        if (!st.tracking) st.pressed = false;
        r.handled = true;
        break;
    case MsgKind::LButtonDown:
    case MsgKind::LButtonDblClk:
        if (focus_window() != h) set_focus(h);
        st.tracking = true;
        st.pressed = true;
        set_capture(h);
        r.handled = true;
        break;
    case MsgKind::MouseMove:
        if (st.tracking) st.pressed = client_rect(h).contains(m.pos);
        r.handled = true;
        break;
    case MsgKind::LButtonUp:
        r.handled = true;
        if (!st.tracking) break;
        st.tracking = false;
        st.pressed = false;
        if (capture_window() == h) release_capture();
        r.clicked = client_rect(h).contains(m.pos);
        break;
    case MsgKind::KeyDown:
        if (m.key == key::Space && !m.ctrl) {
            st.space_down = true;
            st.pressed = true;
            r.handled = true;
        }
        break;
    case MsgKind::KeyUp:
        if (m.key == key::Space) {
            r.handled = true;
            if (!st.space_down) break;
            st.space_down = false;
            st.pressed = false;
            r.clicked = true;
        }
        break;
    default:
        break;
    }
    r.redraw = st.pressed != was_pressed;
    return r;
}

}  // namespace plat::ui

namespace plat {

void enable_control(Hwnd h, bool enabled) {
    if (!is_window(h)) return;
    {
        auto& d = ui::disabled();
        std::lock_guard lock(d.m);
        bool was_enabled = !d.ids.contains(h.id);
        if (was_enabled == enabled) return;
        if (enabled) d.ids.erase(h.id);
        else d.ids.insert(h.id);
    }
    if (!enabled) {
        if (capture_window() == h) release_capture();
        if (focus_window() == h) set_focus(parent_of(h));
    }
    invalidate(h);
}

bool control_enabled(Hwnd h) {
    auto& d = ui::disabled();
    std::lock_guard lock(d.m);
    return !d.ids.contains(h.id);
}


}  // namespace plat
