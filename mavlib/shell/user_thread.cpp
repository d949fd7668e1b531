#include "shell/user_thread.h"

#include <atomic>
#include <thread>

#include "image/drawing_state.h"
#include "mavlib.h"
#include "plat/base/clock.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "runtime/snapping.h"

namespace mav {

namespace {

std::thread g_thread;
std::atomic<bool> g_finished{false};
std::atomic<bool> g_abandoned{false};
std::atomic<bool> g_user_exit_claimed{false};

void set_main_drops(bool on) {
    plat::Hwnd mw = main_window();
    if (mw) plat::enable_file_drops(mw, on);
}

void user_thread_main() {
    FrameState& f = frame();
    init_drawing_state();
    UserSetup();
    f.setup_done = true;
    rebuild_snap_list();
    while (f.quit_state.load() == kQuitRunning) {
        plat::sleep_ms(1);
        MAV_PumpMessages();
        if (request_slot().code.load(std::memory_order_acquire) != 0) serve_request();
        if (f.start_request.load() && !f.running.load()) {
            set_main_drops(false);
            f.running = 1;
            f.start_request = 0;
            f.stop_flag = 0;
            // Exit since the loop's test would have its stop cleared with the
            // flag: the run does not begin.
            if (f.quit_state.load() != kQuitRunning) break;
            UserMain();
            if (f.quit_state.load() != kQuitRunning) break;
            f.running = 0;
            f.stop_flag = 0;
            set_main_drops(true);
        }
    }
    call_user_exit_once();
    shutdown_drawing_state();
    f.quit_state = kQuitFinished;
    MAV_PumpMessages();
    g_finished = true;
}

}  // namespace

void call_user_exit_once() {
    if (g_user_exit_claimed.exchange(true)) return;
    frame().user_exit_calls++;
    UserExit();
}

void start_user_thread() {
    g_finished = false;
    g_thread = std::thread(user_thread_main);
}

bool wait_user_thread(int timeout_ms) {
    double start = plat::monotonic_ms();
    while (!g_finished.load()) {
        if (plat::monotonic_ms() - start > timeout_ms) return false;
        plat::sleep_ms(1);
    }
    return true;
}

void abandon_user_thread() {
    if (!g_thread.joinable()) return;
    g_abandoned = true;
    g_thread.detach();
}

bool user_thread_abandoned() { return g_abandoned.load(); }

void join_user_thread() {
    if (g_thread.joinable()) g_thread.join();
}

}  // namespace mav
