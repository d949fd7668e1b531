#pragma once

namespace mav {

// The library's process entry: parses the command line, claims an instance
// number, opens the main window and runs the window thread's message loop.
// Returns the process exit code.
int run_entry(int argc, char** argv);

}  // namespace mav
