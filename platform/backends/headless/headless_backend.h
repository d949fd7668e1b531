// The headless backend: a virtual screen with no display. Every window,
// menu and dialog works; nothing is presented anywhere, and the driver can
// capture what the screen would show.
//
// Supports: any screen size, 32-bit depth, all windows, menus and dialogs,
// scripted input, file drops, screen and window capture. Does not support:
// a system clipboard shared with other processes, real input devices.
// Dialogs take their default answer at once unless a driver answer was
// queued for them (or the driver asks them to wait for input).
#pragma once

#include <memory>

#include "backend_interface.h"

namespace plat::detail {

std::unique_ptr<Backend> make_headless_backend(Size screen);

}  // namespace plat::detail
