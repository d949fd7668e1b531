// The window-information report of a text window (its command 1045).
#pragma once

namespace mav {

// Makes text window `no` current, prints the list of open windows in it and
// puts the layout source on the clipboard. 0, or 1 when the window is not open.
int window_report(int no);

}  // namespace mav
