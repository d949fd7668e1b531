// Window snapping shared by every library window: while a window is dragged
// with Ctrl held, its edges jump to nearby screen and window edges.
#pragma once

#include <vector>

#include "plat/base/geometry.h"
#include "plat/core/messages.h"

namespace mav {

inline constexpr int kSnapListMax = 260;
inline constexpr int kSnapDistance = 8;  // a distance counts when |d| < 8

// Adjusts a proposed window rectangle against the list, skipping the entry
// equal to the window's current rectangle. Size never changes.
plat::Rect snap_rect(const plat::Rect& proposed, const plat::Rect& current,
                     const std::vector<plat::Rect>& list);

// The screen borders, then every open image window, text window, the input
// box, the button box and the main window.
std::vector<plat::Rect> build_snap_list();
void rebuild_snap_list();
std::vector<plat::Rect> snap_list();

// Moving (with Ctrl: snap) and Move (rebuild the list) for a library window.
// Returns true when it handled the message.
bool handle_snapping(plat::Message& msg);

}  // namespace mav
