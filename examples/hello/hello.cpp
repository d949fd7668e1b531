// hello: a program of one's own on mavlib. The library owns main(), the main
// window (Start, Stop, Exit) and a user thread that calls the three
// functions below. Change them and rebuild.
#include <mavlib.h>

namespace {

constexpr int kImage = 0;  // image window number
constexpr int kSize = 256;

}  // namespace

// Once, at start: open the windows the program uses.
void UserSetup(void) {
    MAV_OpenTextWindow(0, 20, 20, 360, 160);
    MAV_Printf("hello: choose Start to draw.\n");
    MAV_CreateImage(kImage, "hello", 400, 20, kSize, kSize, 100);
}

// At every Start: draw a colour ramp (red across, green down, blue over the
// diagonal) and show it. A long-running loop would also poll
// MAV_StopRequested() and call MAV_PumpMessages().
void UserMain(void) {
    MAV_SelectImage(kImage);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) MAV_SetPixel(x, y, (x << 16) | (y << 8) | ((x + y) / 2));
    MAV_Refresh(kImage);
    MAV_Printf("drawn %d x %d in image %d\n", MAV_GetImageWidth(kImage), MAV_GetImageHeight(kImage), kImage);
}

// Once, at the end: release what UserSetup took.
void UserExit(void) {}
