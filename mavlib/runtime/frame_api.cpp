// The small library calls of the frame that programs use.
#include <cmath>
#include <cstdint>

#include "mavlib.h"
#include "plat/base/clock.h"
#include "plat/base/codepage.h"
#include "plat/ui/dialogs.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"

int MAV_StopRequested(void) { return mav::frame().stop_flag.load(); }

int MAV_QuitRequested(void) { return mav::frame().quit_state.load() != mav::kQuitRunning; }

int MAV_WaitMessages(int ms) {
    plat::wait_for_messages(ms < 0 ? 0 : ms);
    return 0;
}

int MAV_GetMilliseconds(void) {
    double period = mav::frame().ms_period;
    if (period <= 0.0) period = 1000.0 / double(plat::perf_frequency());
    double ms = std::floor(double(plat::perf_counter()) * period);
    // The low 32 bits, as an int: callers take differences as unsigned.
    return int(std::uint32_t(std::uint64_t(ms)));
}

int MAV_Pause(const char* message) {
    std::u16string wide = plat::sjis_to_utf16(message ? message : "", 256);
    plat::message_box({}, plat::utf16_to_utf8(wide), "Pause");
    return 0;
}

int MAV_SetForeground(int window) {
    if (window != MAVMAINWINDOW) return 1;
    plat::Hwnd mw = mav::main_window();
    if (!mw) return 1;
    plat::set_foreground(mw);
    return 0;
}

void MAV_EnableTriggerKeys(int enabled) { mav::frame().trigger_keys = enabled != 0; }
int MAV_GetTriggerFlag(void) { return mav::frame().trigger_flag.load(); }
void MAV_SetTriggerFlag(int value) { mav::frame().trigger_flag = value; }
