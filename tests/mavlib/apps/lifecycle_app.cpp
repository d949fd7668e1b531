// Records, one line each, what the library calls and on which thread, into
// the file named by MAV_TEST_LOG. MAV_TEST_MODE=ignore_stop makes UserMain
// run until the process ends; MAV_TEST_TRIGGERS=1 turns the trigger keys on.
// MAV_TEST_TEXT=1 opens text window 0 with two lines in it at setup, and
// makes UserMain first read one line with MAV_InputText, log it and print it;
// with MAV_TEST_LOG_DIR it also logs text window 0 into that folder.
// MAV_TEST_OVER_MAIN=1 opens image window 0 (all green) over the left part
// of the main window and text window 1 over its right part, and logs where
// the three windows are.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "mavlib.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "test_log.h"

namespace {

// Static initialisation runs on the process's first thread: the window thread.
const std::thread::id g_first_thread = std::this_thread::get_id();

const MAV_ProgramOption kOptions[] = {{"--label", 1, "TEXT", "a label for this run"}};
[[maybe_unused]] const int kDeclared = MAV_DeclareProgramOptions(kOptions, 1);


const char* which_thread() {
    return std::this_thread::get_id() == g_first_thread ? "window-thread" : "user-thread";
}

bool ignore_stop() {
    const char* mode = std::getenv("MAV_TEST_MODE");
    return mode && std::strcmp(mode, "ignore_stop") == 0;
}

bool text_mode() {
    const char* text = std::getenv("MAV_TEST_TEXT");
    return text && std::strcmp(text, "1") == 0;
}

void log_rect(const char* what, plat::Rect r) { log_line("%s %d %d %d %d", what, r.left, r.top, r.right, r.bottom); }

plat::Rect client_on_screen(plat::Hwnd h) {
    plat::Point o = plat::client_origin(h);
    return plat::client_rect(h).translated(o.x, o.y);
}

// The main window is in its place when UserSetup runs: the two windows go
// over its ends, leaving its middle clear for a click.
void open_windows_over_main() {
    plat::Rect m = plat::window_rect(mav::main_window());
    MAV_CreateImage(0, "over main", m.left - 60, m.top - 20, 120, 60, 100);
    MAV_SetDrawColor(0x20C040);
    MAV_FillBox(0, 0, 119, 59);
    MAV_Refresh(0);
    MAV_OpenTextWindow(1, m.right - 60, m.top - 20, 120, 60);
    log_rect("main-window", m);
    log_rect("image-client", client_on_screen(plat::Hwnd{mav::windows().image[0].load()}));
    log_rect("text-client", client_on_screen(plat::Hwnd{mav::windows().text[1].load()}));
}

}  // namespace

void UserSetup(void) {
    const char* triggers = std::getenv("MAV_TEST_TRIGGERS");
    if (triggers && std::strcmp(triggers, "1") == 0) MAV_EnableTriggerKeys(1);
    const char* label = MAV_GetProgramOption("--label");
    log_line("setup %s instance %d label %s", which_thread(), mav::frame().instance, label ? label : "-");
    if (text_mode()) {
        MAV_OpenTextWindow(0, 20, 20, 400, 200);
        if (const char* dir = std::getenv("MAV_TEST_LOG_DIR")) {
            mav::frame().start_dir = std::string(dir) + "/";
            log_line("start-log %d", MAV_StartLog(0));
        }
        MAV_Printf("lifecycle_app: text window 0\n");
        // "日本語のテキスト" in Shift-JIS, as the library takes it.
        MAV_Printf("%s\n", "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67");
    }
    const char* over = std::getenv("MAV_TEST_OVER_MAIN");
    if (over && std::strcmp(over, "1") == 0) open_windows_over_main();
}

void UserMain(void) {
    log_line("main-begin %s stop=%d t=%d", which_thread(), MAV_StopRequested(), MAV_GetMilliseconds());
    if (text_mode()) {
        MAV_Printf("line? ");
        char line[260] = "";
        int result = MAV_InputText(line);
        log_line("input-text %d [%s]", result, line);
        MAV_Printf("got [%s]\n", line);
    }
    while (ignore_stop() || !MAV_StopRequested()) {
        MAV_PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    log_line("main-end %s", which_thread());
}

void UserExit(void) {
    log_line("exit %s t=%d trigger=%d", which_thread(), MAV_GetMilliseconds(), MAV_GetTriggerFlag());
    // Exit has closed the logs before UserExit: this is not logged.
    if (text_mode()) MAV_Printf("exiting\n");
}
