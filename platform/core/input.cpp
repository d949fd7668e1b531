// Routes raw input to windows: the window under the cursor (or the one with
// capture) gets mouse messages, the focus window gets keys. Clicking a window
// raises and activates it.
#include "plat/core/input.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>

#include "decoration.h"
#include "registry.h"
#include "plat/base/clock.h"
#include "plat/core/keys.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"

namespace plat {

namespace {

struct InputState {
    std::mutex m;
    Point cursor;
    std::array<bool, key::Count> keys{};
    // Last click, for double clicks.
    std::uint32_t last_window = 0;
    MouseButton last_button = MouseButton::Left;
    double last_time = -1e9;
    Point last_pos;
    // While a button is held, the window it went down on keeps the mouse,
    // as a display server's implicit grab does.
    std::uint32_t grab = 0;
    int buttons_down = 0;
    bool held[3] = {false, false, false};  // left, middle, right
};

InputState& input() {
    static InputState* s = new InputState;
    return *s;
}

bool key_held(int k) {
    auto& s = input();
    std::lock_guard lock(s.m);
    return k >= 0 && k < key::Count && s.keys[k];
}

Message mouse_message(Hwnd target, MsgKind kind, Point screen) {
    Message m;
    m.window = target;
    m.kind = kind;
    m.screen_pos = screen;
    Point o = client_origin(target);
    m.pos = {screen.x - o.x, screen.y - o.y};
    m.ctrl = key_held(key::Control);
    m.shift = key_held(key::Shift);
    auto& s = input();
    std::lock_guard lock(s.m);
    m.lbutton = s.held[0];
    m.mbutton = s.held[1];
    m.rbutton = s.held[2];
    return m;
}

MsgKind down_kind(MouseButton b) {
    switch (b) {
    case MouseButton::Left: return MsgKind::LButtonDown;
    case MouseButton::Middle: return MsgKind::MButtonDown;
    case MouseButton::Right: return MsgKind::RButtonDown;
    }
    return MsgKind::None;
}

MsgKind up_kind(MouseButton b) {
    switch (b) {
    case MouseButton::Left: return MsgKind::LButtonUp;
    case MouseButton::Middle: return MsgKind::MButtonUp;
    case MouseButton::Right: return MsgKind::RButtonUp;
    }
    return MsgKind::None;
}

// Double click when the same button hits the same window again soon and close by.
bool is_double_click(Hwnd target, MouseButton b, Point p) {
    auto& s = input();
    std::lock_guard lock(s.m);
    double now = monotonic_ms();
    const Metrics& mt = metrics();
    bool dbl = s.last_window == target.id && s.last_button == b &&
               now - s.last_time <= mt.double_click_ms &&
               std::abs(p.x - s.last_pos.x) <= mt.double_click_distance &&
               std::abs(p.y - s.last_pos.y) <= mt.double_click_distance;
    if (dbl) {
        s.last_time = -1e9;  // a third click starts over
    } else {
        s.last_window = target.id;
        s.last_button = b;
        s.last_time = now;
        s.last_pos = p;
    }
    return dbl;
}

bool wants_double_clicks(Hwnd h) {
    auto w = detail::find_window_data(h);
    return w && w->double_clicks;
}

// Where mouse input goes: explicit capture, then the implicit grab, then
// the window under the point.
Hwnd mouse_target(Point screen) {
    Hwnd capture = capture_window();
    if (capture) return capture;
    std::uint32_t grab;
    {
        auto& s = input();
        std::lock_guard lock(s.m);
        grab = s.grab;
    }
    if (grab && is_window(Hwnd{grab})) return Hwnd{grab};
    return window_at(screen);
}

Hwnd key_target() {
    Hwnd f = focus_window();
    if (f && is_window(f)) return f;
    return active_window();
}

}  // namespace

Point cursor_pos() {
    auto& s = input();
    std::lock_guard lock(s.m);
    return s.cursor;
}

bool is_key_down(int k) { return key_held(k); }

void inject_mouse_move(Point screen) {
    {
        auto& s = input();
        std::lock_guard lock(s.m);
        s.cursor = screen;
    }
    Hwnd target = mouse_target(screen);
    if (!target) return;
    post_message(mouse_message(target, MsgKind::MouseMove, screen));
}

void inject_mouse_button(MouseButton button, bool down, Point screen) {
    {
        auto& s = input();
        std::lock_guard lock(s.m);
        s.cursor = screen;
    }
    Hwnd capture = capture_window();
    Hwnd target = mouse_target(screen);
    {
        auto& s = input();
        std::lock_guard lock(s.m);
        s.buttons_down = std::max(0, s.buttons_down + (down ? 1 : -1));
        s.held[int(button)] = down;
        if (down && s.buttons_down == 1 && !capture) s.grab = target.id;
        if (s.buttons_down == 0) s.grab = 0;
    }
    if (!target) return;
    if (!down) {
        post_message(mouse_message(target, up_kind(button), screen));
        return;
    }
    if (capture || target.id != window_at(screen).id) {
        // A press while the mouse is held elsewhere goes to that window as is.
        post_message(mouse_message(target, down_kind(button), screen));
        return;
    }
    set_foreground(target);
    if (!(window_style(target) & style::Child)) set_focus(target);
    Hit hit = hit_test(target, screen);
    if (hit == Hit::Nowhere) hit = Hit::Client;
    Message m = mouse_message(target, down_kind(button), screen);
    if (hit != Hit::Client) {
        m.non_client = true;
        m.hit = hit;
        if (button == MouseButton::Left) m.kind = MsgKind::NcLButtonDown;
        else if (button == MouseButton::Middle) return;
        post_message(m);
        return;
    }
    if (button != MouseButton::Middle && wants_double_clicks(target) &&
        is_double_click(target, button, screen)) {
        m.kind = button == MouseButton::Left ? MsgKind::LButtonDblClk : MsgKind::RButtonDblClk;
    }
    post_message(m);
}

void inject_wheel(int delta, Point screen) {
    Hwnd target = key_target();
    if (!target) target = window_at(screen);
    if (!target) return;
    Message m = mouse_message(target, MsgKind::MouseWheel, screen);
    m.wheel = delta;
    post_message(m);
}

void inject_key(int k, bool down) {
    if (k <= 0 || k >= key::Count) return;
    {
        auto& s = input();
        std::lock_guard lock(s.m);
        s.keys[k] = down;
    }
    Hwnd target = key_target();
    if (!target) return;
    Message m;
    m.window = target;
    m.kind = down ? MsgKind::KeyDown : MsgKind::KeyUp;
    m.key = k;
    m.ctrl = key_held(key::Control);
    m.shift = key_held(key::Shift);
    post_message(m);
}

void inject_char(char32_t ch) {
    Hwnd target = key_target();
    if (!target) return;
    Message m;
    m.window = target;
    m.kind = MsgKind::Char;
    m.ch = ch;
    post_message(m);
}

bool inject_drop_files(Point screen, std::vector<std::string> files) {
    Hwnd target = window_at(screen);
    // Drops go to the top-level window that registered for them.
    while (target && !accepts_file_drops(target)) target = parent_of(target);
    if (!target) return false;
    Message m = mouse_message(target, MsgKind::DropFiles, screen);
    m.files = std::move(files);
    return post_message(std::move(m));
}

}  // namespace plat
