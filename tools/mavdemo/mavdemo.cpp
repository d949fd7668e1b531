// A small program built on the library: it counts while running and stops
// when asked. Used by the demo before the lenticular programs exist.
#include <chrono>
#include <cstdio>
#include <thread>

#include "mavlib.h"

void UserSetup(void) { std::printf("mavdemo: set up\n"); }

void UserMain(void) {
    int start = MAV_GetMilliseconds();
    int rounds = 0;
    while (!MAV_StopRequested()) {
        MAV_PumpMessages();
        ++rounds;
        if (unsigned(MAV_GetMilliseconds() - start) > 5000u) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::printf("mavdemo: ran %d rounds\n", rounds);
}

void UserExit(void) { std::printf("mavdemo: exit\n"); }
