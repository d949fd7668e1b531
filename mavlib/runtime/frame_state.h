// Process-wide state of the application frame (start-up, main window, user
// thread): plain tables and flags, shared between the window thread and the
// user thread. Flags are atomics so that the two threads see each other's
// writes; nothing else about them changes.
#pragma once

#include <atomic>
#include <string>

#include "plat/core/messages.h"

namespace mav {

inline constexpr int kMaxInstances = 10;
inline constexpr int kImageSlots = 256;
inline constexpr int kTextSlots = 256;

// Quit state: 0 running, 1 Exit requested, 2 user thread finished.
inline constexpr int kQuitRunning = 0;
inline constexpr int kQuitRequested = 1;
inline constexpr int kQuitFinished = 2;

struct FrameState {
    int instance = -1;
    std::string open_dir;
    std::string save_dir;
    std::string start_dir;  // ends with a separator
    double ms_period = 0.0;
    int screen_depth = 32;

    std::atomic<std::uint32_t> main_window{0};
    std::atomic<std::uint32_t> status_label{0};

    std::atomic<int> start_request{0};
    std::atomic<int> running{0};
    std::atomic<int> stop_flag{0};
    std::atomic<int> quit_state{kQuitRunning};
    std::atomic<int> trigger_flag{0};
    std::atomic<bool> trigger_keys{false};
    std::atomic<int> user_exit_calls{0};
    // Set once UserSetup has returned: the program is ready for its user.
    std::atomic<bool> setup_done{false};
    // Set while an interactive image-window command picks a point; the popup
    // menus stay closed meanwhile.
    std::atomic<int> pick_active{0};
    // Nonzero while a text window waits for a typed line.
    std::atomic<int> input_pending{0};
    // A batch run: nobody watches the main window arrive.
    std::atomic<bool> batch_run{false};
    // What the process exits with once the Exit sequence is over, and
    // whether the program gave it (MAV_RequestExit).
    std::atomic<int> exit_code{0};
    std::atomic<bool> exit_code_given{false};
    // Set when a script (--do, --script) has taken all its actions.
    std::atomic<bool> script_finished{false};
};

FrameState& frame();

plat::Hwnd main_window();

// Library windows other than the main window, by kind, for snapping and
// requests. Entries are window handle ids, 0 when closed.
struct WindowTables {
    std::atomic<std::uint32_t> image[kImageSlots]{};
    std::atomic<std::uint32_t> text[kTextSlots]{};
    std::atomic<std::uint32_t> input_box{0};
    std::atomic<std::uint32_t> button_box{0};
};

WindowTables& windows();

}  // namespace mav
