// What the windows of this layer share: their classes, registered on first
// use; creating a standard control as a visible child window; the state
// each control keeps; and where a window stands in a box or dialog.
#pragma once

#include <cstdint>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "plat/gfx/gfx.h"
#include "plat/core/window.h"

namespace plat::ui {

// Registers `cls` unless a class of its name is there already. Every class of
// this layer is registered so, on the first use of a window of it; two
// threads racing to it register it once, the other one's call fails and
// changes nothing.
void ensure_class(const WindowClass& cls);

// True when `h` is `root` or lies inside it.
bool is_within(Hwnd root, Hwnd h);

struct ControlClass {
    const char* name;
    Color background;
    bool (*proc)(Message&);
    bool paint_background = true;  // false: the procedure paints everything
    bool double_clicks = false;    // a second click soon after is a double click
};

Hwnd create_control(const ControlClass& cls, Hwnd parent, Rect rect, std::string_view text, int id,
                    std::uint32_t style);

// A part a dialog draws itself (a preview, a list of its own): a visible
// child of `dialog` of class `cls`, registered on first use, with the
// dialog's `state` as its user data so that the part's procedure reads it.
Hwnd create_dialog_part(const WindowClass& cls, Hwnd dialog, Rect rect, int id, void* state, std::uint32_t style);

// A control that is going forgets whether it was disabled (enable_control).
void forget_enabled_state(Hwnd h);

// Messages a disabled control ignores: the mouse's buttons and the keys.
bool is_user_input(MsgKind kind);

// Sends `m` when its window belongs to this thread (handled before this
// returns), posts it otherwise.
void deliver(Message m);

// Tells control `h`'s parent of `code` with a Command carrying the control's id.
void notify_parent(Hwnd h, int code);

// A dotted focus rectangle just inside `r`: every other pixel.
void draw_focus_rect(Dc& dc, Rect r);

// A sunken edge two pixels deep along the inside of `r`: shadow and dark
// above and to the left, light below and to the right. An edit field's edge
// (`inner_face`) also draws the inner ring's bottom and right in the face
// colour; otherwise what is there stays.
void draw_sunken_border(Dc& dc, Rect r, bool inner_face = false);

// How a control that is clicked (a push button, a check box) follows the
// left button and Space: drawn pressed while the button is held over it or
// Space is down; clicked when the button comes up over it or Space comes up.
struct PressState {
    bool tracking = false;    // the left button went down on it and is held
    bool space_down = false;  // Space went down while it had the focus
    bool pressed = false;     // drawn pressed
};
struct PressResult {
    bool handled = false;        // the message was one of these
    bool clicked = false;        // and it completed a click
    bool redraw = false;         // the drawn press changed
};
// Updates `st` for focus loss, the left button, the mouse and Space; the
// caller stores it, redraws when asked, and then acts on a click.
PressResult track_press(Hwnd h, const Message& m, PressState& st);

// The state each control of one kind keeps between messages, by window.
// Copies go in and out under a lock; a control that is gone reads as a
// fresh State. Never destroyed: a thread may still handle its controls
// while the process ends.
template <typename State>
class ControlStates {
public:
    static ControlStates& instance() {
        static auto* states = new ControlStates;
        return *states;
    }
    State get(Hwnd h) {
        std::lock_guard lock(m_);
        auto it = states_.find(h.id);
        return it == states_.end() ? State{} : it->second;
    }
    void put(Hwnd h, const State& st) {  // only for a control that is still there
        std::lock_guard lock(m_);
        auto it = states_.find(h.id);
        if (it != states_.end()) it->second = st;
    }
    void add(Hwnd h) {
        std::lock_guard lock(m_);
        states_[h.id] = State{};
    }
    void remove(Hwnd h) {
        std::lock_guard lock(m_);
        states_.erase(h.id);
    }

private:
    std::mutex m_;
    std::unordered_map<std::uint32_t, State> states_;
};

// What a control that is going leaves behind: the mouse capture if it holds
// it, its state, and whether it was disabled.
template <typename State>
void forget_control(Hwnd h) {
    if (capture_window() == h) release_capture();
    ControlStates<State>::instance().remove(h);
    forget_enabled_state(h);
}

// What every control that keeps a State answers alike: Create gives it a
// fresh state, Destroy forgets it, Paint draws it with `paint`. True when
// `m` was one of these.
template <typename State>
bool handle_lifetime_and_paint(Message& m, void (*paint)(Hwnd, Dc&)) {
    switch (m.kind) {
    case MsgKind::Create:
        ControlStates<State>::instance().add(m.window);
        return true;
    case MsgKind::Destroy:
        forget_control<State>(m.window);
        return true;
    case MsgKind::Paint:
        paint(m.window, *m.dc);
        return true;
    default:
        return false;
    }
}

}  // namespace plat::ui
