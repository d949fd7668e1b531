// Raw X input to the core: pointer, buttons, wheel and keys, at root
// coordinates. The core routes it to the window that owns it.
#include "x11_keys.h"
#include "x11_display.h"

namespace plat::detail::x11 {

namespace {

constexpr int kWheelNotch = 120;
constexpr int kNoKey = 0;  // kNoKey, a name Xlib's macros take

}  // namespace

void X11Backend::move_to(Point p) {
    if (last_pos_ && *last_pos_ == p) return;
    last_pos_ = p;
    inject_mouse_move(p);
}

void X11Backend::sync_modifiers(unsigned state) {
    // The state an event carries is the truth: presses and releases that
    // happened while another program had the keyboard are caught up here.
    struct Mod {
        unsigned mask;
        int key;
    };
    static constexpr Mod kMods[] = {{ShiftMask, key::Shift}, {ControlMask, key::Control}, {Mod1Mask, key::Alt}};
    for (const Mod& m : kMods) {
        bool down = state & m.mask;
        if (down != is_key_down(m.key)) inject_key(m.key, down);
    }
}

void X11Backend::sync_buttons(unsigned state, Point p) {
    // A release that went to another program would leave the core holding
    // the mouse for good: the next event's state says the button is up.
    static constexpr unsigned kMasks[3] = {Button1Mask, Button2Mask, Button3Mask};
    static constexpr MouseButton kButtons[3] = {MouseButton::Left, MouseButton::Middle, MouseButton::Right};
    for (int i = 0; i < 3; ++i) {
        if (held_[i] && !(state & kMasks[i])) {
            held_[i] = false;
            inject_mouse_button(kButtons[i], false, p);
        }
    }
}

void X11Backend::on_motion(const XMotionEvent& e) {
    // Merged: only the last of a burst is passed on.
    pending_motion_ = e;
}

void X11Backend::flush_motion() {
    if (!pending_motion_) return;
    XMotionEvent e = *pending_motion_;
    pending_motion_.reset();
    Point p{e.x_root, e.y_root};
    sync_modifiers(e.state);
    sync_buttons(e.state, p);
    move_to(p);
}

void X11Backend::on_button(const XButtonEvent& e, bool down) {
    flush_motion();
    Point p{e.x_root, e.y_root};
    sync_modifiers(e.state);
    sync_buttons(e.state, p);
    move_to(p);
    if (e.button == Button4 || e.button == Button5) {
        if (down) inject_wheel(e.button == Button4 ? kWheelNotch : -kWheelNotch, p);
        return;
    }
    int index = 0;
    MouseButton b = MouseButton::Left;
    switch (e.button) {
    case Button1: index = 0; b = MouseButton::Left; break;
    case Button2: index = 1; b = MouseButton::Middle; break;
    case Button3: index = 2; b = MouseButton::Right; break;
    default: return;  // horizontal wheel and extra buttons
    }
    if (held_[index] == down) {
        if (!down) return;  // a release we already made up
        inject_mouse_button(b, false, p);  // a press whose release never came
    }
    held_[index] = down;
    inject_mouse_button(b, down, p);
}

void X11Backend::on_key(XKeyEvent& e, bool down) {
    flush_motion();
    if (!down && XEventsQueued(dpy_, QueuedAfterReading) > 0) {
        // Without detectable auto-repeat, a repeat is a release and a press
        // with the same time: keep the key down.
        XEvent next;
        XPeekEvent(dpy_, &next);
        if (next.type == KeyPress && next.xkey.keycode == e.keycode && next.xkey.time == e.time) return;
    }
    KeySym keysym = NoSymbol;
    char buf[32];
    XLookupString(&e, buf, sizeof buf, &keysym, nullptr);
    KeySym base = XLookupKeysym(&e, 0);
    sync_modifiers(e.state);
    unsigned code = e.keycode & 0xFF;
    if (down) {
        KeyPlan plan = plan_key_press(keysym, base, e.state & ControlMask, e.state & ShiftMask);
        pressed_[code] = plan.key;
        if (plan.key != kNoKey) inject_key(plan.key, true);
        if (plan.ch) inject_char(plan.ch);
        return;
    }
    int k = pressed_[code];
    pressed_[code] = kNoKey;
    if (k != kNoKey) inject_key(k, false);
}

}  // namespace plat::detail::x11
