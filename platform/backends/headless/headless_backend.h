// The headless backend: a virtual screen with no display. Every window,
// menu and dialog works; nothing is presented anywhere, and the driver can
// capture what the screen would show.
//
// Supports: any screen size, 32-bit depth, all windows, menus and dialogs,
// scripted input, file drops, screen and window capture. Does not support:
// a system clipboard shared with other processes, real input devices.
#pragma once

#include <memory>

#include "core/backend.h"

namespace plat::detail {

std::unique_ptr<Backend> make_headless_backend(Size screen);

// What modal boxes do when they open, shared with the driver: answers queued
// by scripts and tests, and the record of what was shown. With `may_wait`
// (a display backend) a box that has no queued answer waits for a person.
std::optional<driver::DialogAnswer> broker_modal_opened(const DialogInfo& info, bool may_wait);

}  // namespace plat::detail
