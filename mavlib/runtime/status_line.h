// The main window's status label, which shows short texts roughly centred.
#pragma once

#include <string>
#include <string_view>

namespace mav {

// The text padded with blanks so that it starts at column
// max(0, 18 - length / 2) of a 64-column field; never longer than 63 columns.
std::string centred_status_text(std::string_view text);

// Shows a (Shift-JIS) text in the status label.
void show_status(std::string_view text);
// Shows "<depth>-bit color".
void show_depth_status();

}  // namespace mav
