// A program with an input box and a button box, for end-to-end runs. It logs,
// one line each, into the file named by MAV_TEST_LOG: every poll that found
// presses ("press I N"), and at the end the values and the boxes' layout.
// MAV_TEST_PARALLAX=1 selects the parallax key map; MAV_TEST_BOXES=none opens
// no boxes at setup (the main window's dialogues make them).
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "boxes/boxes.h"
#include "mavlib.h"
#include "test_log.h"

namespace {


bool env_is(const char* name, const char* value) {
    const char* v = std::getenv(name);
    return v && std::strcmp(v, value) == 0;
}

}  // namespace

void UserSetup(void) {
    if (env_is("MAV_TEST_PARALLAX", "1")) MAV_UseParallaxButtonKeys(1);
    if (env_is("MAV_TEST_BOXES", "none")) return;
    MAV_OpenInputBox(20, 20, 3);
    MAV_SetInputBoxTitle(0, "Gain");
    MAV_SetInputBoxTitle(1, "Offset");
    MAV_SetInputBoxTitle(2, "Scale");
    MAV_SetInputBoxInt(0, 10);
    MAV_SetInputBoxDouble(1, 23.006);
    MAV_SetInputBoxDouble(2, 1e-05);
    if (env_is("MAV_TEST_PARALLAX", "1")) {
        MAV_OpenButtonBox(20, 200, 7, 6);
    } else {
        MAV_OpenButtonBox(20, 200, 4, 2);
        MAV_SetButtonBoxTitle(0, "Start\nrecording");
        MAV_SetButtonBoxTitle(5, "Reset");
    }
}

void UserMain(void) {
    log_line("main-begin");
    while (!MAV_StopRequested()) {
        MAV_Printf("%s", "");  // pumps, as the programs' loops do
        for (int i = 0; i < 256; ++i)
            if (int n = MAV_ButtonPressed(i)) log_line("press %d %d", i, n);
        MAV_PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    log_line("main-end");
}

void UserExit(void) {
    log_line("values %d %.10g %.10g", MAV_GetInputBoxInt(0), MAV_GetInputBoxDouble(1), MAV_GetInputBoxDouble(2));
    mav::InputBoxLayout ib = mav::input_box_layout();
    if (ib.open) log_line("input-box %d %d %d", ib.window.left, ib.window.top, ib.items);
    mav::ButtonBoxLayout bb = mav::button_box_layout();
    if (bb.open) log_line("button-box %d %d %d %d", bb.window.left, bb.window.top, bb.nx, bb.ny);
}
