// The log files of the text windows, inside the library.
#pragma once

#include <string>

namespace mav {

struct TextWindow;

// "<start dir>MAVLIB<instance><no>.LOG" as a native (UTF-8) path.
std::string log_file_path(int no);

// Closes a window's log file and returns it to "no log"; the window is
// closing, so nothing written so far may be lost.
void close_log(TextWindow& tw);

}  // namespace mav
