// The dialog broker: what a modal box does when it opens. Answers queued by
// scripts and tests come first; without one a headless run takes the box's
// default answer at once and says on stderr what it showed, and a display
// waits for a person. Backends ask it from their modal_opened.
#pragma once

#include <optional>

#include "backend_interface.h"

namespace plat::detail {

// With `may_wait` (a display backend) a box that has no queued answer waits
// for a person: nullopt.
std::optional<ModalAnswer> broker_modal_opened(const DialogInfo& info, bool may_wait);

}  // namespace plat::detail
