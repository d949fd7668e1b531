// Line input in the current text window.
#pragma once

#include <string_view>

#include "plat/core/messages.h"

namespace mav {

// A character message of a text window: goes into the input ring while a
// line input is pending.
void queue_typed_char(const plat::Message& m);

// Up arrow and Ctrl+V during input ask the reader to recall the last line or
// to paste the clipboard's first line. One request at a time.
bool input_request_outstanding();
void request_recall();
void request_paste();

// Prints Shift-JIS text into the current text window (shared by MAV_Printf
// and the library's own messages).
void print_text(std::string_view sjis);

}  // namespace mav
