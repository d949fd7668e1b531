#include "focus_ring.h"

#include <algorithm>

#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "control_class.h"

namespace plat::ui {

void step_focus(const std::vector<Hwnd>& ring, bool backwards) {
    int n = int(ring.size());
    if (n == 0) return;
    auto it = std::find(ring.begin(), ring.end(), focus_window());
    int i = it == ring.end() ? (backwards ? 0 : n - 1) : int(it - ring.begin());
    for (int k = 0; k < n; ++k) {
        i = (i + (backwards ? n - 1 : 1)) % n;
        Hwnd next = ring[std::size_t(i)];
        if (!is_window(next) || !is_visible(next) || !control_enabled(next)) continue;
        set_focus(next);
        if (is_edit(next)) set_edit_selection(next, 0, -1);
        return;
    }
}

bool take_dialog_key(Hwnd dialog, const Message& m, const DialogKeys& keys) {
    if (m.kind != MsgKind::KeyDown || !is_within(dialog, m.window)) return false;
    switch (m.key) {
    case key::Escape:
        keys.cancel();
        return true;
    case key::Tab:
        if (m.ctrl) return false;
        step_focus(keys.tab_ring, m.shift);
        return true;
    case key::Enter:
        if (is_button(m.window)) click_button(m.window);
        else keys.accept(m.window);
        return true;
    default:
        return false;
    }
}

}  // namespace plat::ui
