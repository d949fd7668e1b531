// A small program built on the library: a text window that reports what
// happens, and a main loop that counts while running and stops when asked.
#include <chrono>
#include <thread>

#include "mavlib.h"

void UserSetup(void) {
    MAV_OpenTextWindow(0, 20, 20, 400, 300);
    MAV_Printf("mavdemo: ready. Choose Start.\n");
}

void UserMain(void) {
    int start = MAV_GetMilliseconds();
    int rounds = 0;
    MAV_Printf("running...\n");
    while (!MAV_StopRequested()) {
        ++rounds;
        if (rounds % 10 == 0) MAV_Printf("%d ", rounds);
        MAV_PumpMessages();
        if (unsigned(MAV_GetMilliseconds() - start) > 5000u) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    MAV_Printf("\nstopped after %d rounds\n", rounds);
}

void UserExit(void) {}
