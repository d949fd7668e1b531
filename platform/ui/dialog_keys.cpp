// Dialog keys: Tab, arrows and Enter between the controls of a window.
#include <algorithm>
#include <vector>

#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "control_class.h"

namespace plat {

namespace {

bool takes_focus(Hwnd h) {
    return is_visible(h) && control_enabled(h) && (is_edit(h) || is_button(h) || is_slider(h) || is_check_box(h));
}

// The controls of `dialog` that pass `keep`, in creation order.
template <typename Keep>
std::vector<Hwnd> controls_of(Hwnd dialog, Keep keep) {
    std::vector<Hwnd> out;
    for (Hwnd c : children_of(dialog))
        if (keep(c)) out.push_back(c);
    return out;
}

// The control after (or before) `from` in `ring`, wrapping round; the first
// (or last) when `from` is not in it.
Hwnd step(const std::vector<Hwnd>& ring, Hwnd from, bool backwards) {
    if (ring.empty()) return {};
    auto it = std::find(ring.begin(), ring.end(), from);
    int n = int(ring.size());
    if (it == ring.end()) return backwards ? ring.back() : ring.front();
    int i = int(it - ring.begin());
    return ring[std::size_t((i + (backwards ? n - 1 : 1)) % n)];
}

void focus_control(Hwnd h) {
    set_focus(h);
    // Reached from the keyboard, a field offers its whole text for retyping.
    if (is_edit(h)) set_edit_selection(h, 0, -1);
}

}  // namespace

bool handle_dialog_key(Hwnd dialog, Message& msg) {
    if (msg.kind != MsgKind::KeyDown || !dialog || !ui::is_within(dialog, msg.window)) return false;
    Hwnd focused = msg.window;  // keys go to the window with the focus
    bool on_control = focused != dialog;
    switch (msg.key) {
    case key::Tab: {
        if (msg.ctrl) return false;
        auto stops = controls_of(dialog, [](Hwnd c) { return (window_style(c) & ctl::TabStop) && takes_focus(c); });
        if (Hwnd next = step(stops, focused, msg.shift)) focus_control(next);
        return true;
    }
    case key::Left:
    case key::Right:
    case key::Up:
    case key::Down: {
        // A window that has the focus itself reads its own arrows, an edit
        // field keeps Left and Right for its caret and a slider for its thumb.
        if (!on_control) return false;
        bool horizontal = msg.key == key::Left || msg.key == key::Right;
        if (horizontal && (is_edit(focused) || is_slider(focused))) return false;
        auto ring = controls_of(dialog, takes_focus);
        bool backwards = msg.key == key::Left || msg.key == key::Up;
        if (Hwnd next = step(ring, focused, backwards)) focus_control(next);
        return true;
    }
    case key::Enter: {
        if (on_control && is_button(focused)) {
            click_button(focused);
            return true;
        }
        Message cmd;
        cmd.window = dialog;
        cmd.kind = MsgKind::Command;
        cmd.command_id = kIdOk;
        ui::deliver(cmd);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace plat
