// The keys of dialogs whose parts are not all standard controls: Tab and
// Shift+Tab round a ring of parts the dialog names, Escape and Enter.
#pragma once

#include <functional>
#include <vector>

#include "plat/core/messages.h"

namespace plat::ui {

// Moves the focus from the part that has it to the next (or previous) part
// of `ring` that is visible and enabled, round and round; from outside the
// ring to its first (or last). A field reached so offers its whole text.
void step_focus(const std::vector<Hwnd>& ring, bool backwards);

// What such a dialog does with its keys.
struct DialogKeys {
    std::vector<Hwnd> tab_ring;               // Tab and Shift+Tab step round it
    std::function<void()> cancel;             // Escape
    std::function<void(Hwnd focused)> accept;  // Enter anywhere but on a button
};

// The keys `dialog` takes before its focused part sees them: Escape cancels,
// Tab steps round the ring (Ctrl+Tab is left to the part), Enter clicks the
// focused button or else accepts. True when it took `m`.
bool take_dialog_key(Hwnd dialog, const Message& m, const DialogKeys& keys);

}  // namespace plat::ui
