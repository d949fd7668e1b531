// Modal dialogs drawn by the platform.
#pragma once

#include <string_view>

#include "plat/messages.h"

namespace plat {

enum class MbIcon { None, Error, Information };

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Shows a modal message box with an OK button and waits on the calling thread
// until it is answered. Returns kIdOk.
int message_box(Hwnd owner, std::string_view text_utf8, std::string_view caption_utf8,
                MbIcon icon = MbIcon::None);

}  // namespace plat
