// The cameras of the compositor: up to eight started together, each writing
// its newest frame (640 x 480 words 0x00RRGGBB, top row first) into a
// destination block its owner may re-point, with the frame's time stored
// after its rows. Runs on the camera service of the platform.
//
// Everything here runs on the library's user thread, except the frame
// delivery, which runs on each camera's own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "plat/capture/capture.h"

inline constexpr int kEwcMaxCameras = 8;
inline constexpr int kEwcPropertyCount = 17;
inline constexpr int kEwcFrameWidth = 640;
inline constexpr int kEwcFrameHeight = 480;
inline constexpr int kEwcFrameBytes = kEwcFrameWidth * kEwcFrameHeight * 4;

// What a camera's frame delivery keeps of the frames it handled.
struct ewc_SampleGrabberCB {
    int camera_index = 0;
    // Stream time of the last frame the compositor's wait took; read and
    // written by the compositor only.
    double consumed_time = 0.0;
};

struct ewc_CaptureState {
    int camera_count = 0;     // 0..8, in the order the service lists the devices
    int capture_running = 0;  // 1 after a successful ewc_Start, 0 after ewc_Stop

    // Per camera. cam_dest may be re-pointed by its owner at any time to
    // another block of kEwcFrameBytes (4-byte aligned); the next frame goes there.
    std::atomic<std::uint32_t*> cam_dest[kEwcMaxCameras] = {};
    int cam_width[kEwcMaxCameras] = {};
    int cam_height[kEwcMaxCameras] = {};
    std::atomic<int> last_length[kEwcMaxCameras] = {};   // bytes of the newest frame, 0 before the first
    std::atomic<double> last_time[kEwcMaxCameras] = {};  // stream seconds, stored after the rows (release)
    int prop_supported[kEwcMaxCameras][kEwcPropertyCount] = {};
    ewc_SampleGrabberCB callback[kEwcMaxCameras];

    // The started cameras and their own frame blocks.
    std::unique_ptr<plat::capture::Camera> camera[kEwcMaxCameras];
    std::unique_ptr<std::uint32_t[]> own_block[kEwcMaxCameras];
};

// The one capture state of the program.
extern ewc_CaptureState ewc_capture;

// Starts every camera (at most eight) at 640 x 480 and `frames_per_second`
// and waits for camera 0's first frame. 0 started; 1 already running;
// 5 no capture device; 8 devices but none could be opened; 11 a camera
// refused the format; 19 streaming could not start; 21 no frame from camera
// 0 within 3000 ms. After a failed run (19 or 21) the whole start is tried
// again, three attempts in all. A failed start leaves nothing behind.
int ewc_Start(double frames_per_second);

// Stops every camera (within 3000 ms in all) and releases everything:
// 0 stopped, 1 not running. No frame is delivered after it returns.
int ewc_Stop();

// Shows camera `camera`'s property dialog and returns once it is closed:
// 0 shown and closed; 1 not running or no such camera.
int ewc_ShowPropertyPages(int camera);

// What a camera's thread does with each frame: converts it into the
// camera's destination block, then stores its length and time. Exposed for
// tests and benchmarks.
void ewc_DeliverFrame(int camera, const plat::capture::FrameView& frame);
