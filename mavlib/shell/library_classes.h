#pragma once

namespace mav {

// Registers the library's window classes (image windows, text windows, the
// input box and the button box) that are not registered yet. The entry point
// calls it after the main window's class; tests that make these windows
// without running the entry point call it too. False when one is refused.
bool register_library_classes();

}  // namespace mav
