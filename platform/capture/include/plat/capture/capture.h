// The camera service: video input devices (V4L2 or virtual cameras), each
// started at a size and rate and delivering every frame to a callback on its
// own thread, and the camera's controls (range, value, automatic flag).
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat::capture {

inline constexpr int kMaxCameras = 8;

// The frame every camera is asked for, and what a destination block holds:
// 480 rows of 640 words 0x00RRGGBB (blue, green, red, unused byte in memory),
// top row first.
inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;
inline constexpr std::size_t kFrameBytes = std::size_t(kFrameWidth) * kFrameHeight * 4;

// ---- Controls ---------------------------------------------------------------

// The controls by index, 0..16: the picture's (0..9) and the lens's (10..16).
enum class Control : int {
    Brightness,
    Contrast,
    Hue,
    Saturation,
    Sharpness,
    Gamma,
    ColorEnable,
    WhiteBalance,
    BacklightCompensation,
    Gain,
    Pan,
    Tilt,
    Roll,
    Zoom,
    Exposure,
    Iris,
    Focus,
};
inline constexpr int kControlCount = 17;

// "Brightness", "White balance", ... for dialogs and logs.
std::string_view control_name(Control c);

// Control flags: automatic and manual control.
inline constexpr std::int32_t kFlagAuto = 1;
inline constexpr std::int32_t kFlagManual = 2;

struct ControlRange {
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t step = 1;
    std::int32_t default_value = 0;
    std::int32_t flags = kFlagManual;  // kFlagAuto set when the control has an automatic mode
};

struct ControlValue {
    std::int32_t value = 0;
    std::int32_t flags = kFlagManual;  // kFlagAuto or kFlagManual
};

// ---- Frames -----------------------------------------------------------------

enum class PixelLayout {
    Xrgb32,  // bytes B, G, R, unused: the destination layout
    Rgb24,   // bytes R, G, B
    Bgr24,   // bytes B, G, R
};

// One frame as a camera hands it over, valid during the callback only.
struct FrameView {
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;  // bytes at data
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // bytes from one row to the next
    PixelLayout layout = PixelLayout::Xrgb32;
    double time = 0.0;  // seconds of stream time, since the stream started
};

// Converts `frame` to the destination layout at kFrameWidth x kFrameHeight
// (nearest neighbour when the camera gave another size) into `dest` (4-byte
// aligned), writing whole rows and at most `dest_bytes`. Returns the bytes
// written (kFrameBytes when the block is large enough; 0 for an empty or
// malformed frame, which leaves dest alone). The words are stored as relaxed
// atomics, so another thread may read the block meanwhile (through
// std::atomic_ref or read_frame_word) without a data race.
std::size_t copy_frame(const FrameView& frame, void* dest, std::size_t dest_bytes);

// Reads one word of a block that a camera may be writing.
inline std::uint32_t read_frame_word(const std::uint32_t* block, std::size_t i) {
    // atomic_ref needs a non-const object; a load writes nothing.
    return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(block[i])).load(std::memory_order_relaxed);
}

// Runs on the camera's own thread for every frame.
using FrameCallback = std::function<void(const FrameView&)>;

// ---- Cameras ----------------------------------------------------------------

enum class Status {
    Ok,
    NoDevice,       // the device is gone or cannot be opened
    FormatRefused,  // the device takes no format the service can convert
    StreamFailed,   // streaming could not start
    NotConfigured,  // start before configure
    Running,        // configure or start while streaming
};
std::string_view status_text(Status s);

class Camera {
public:
    virtual ~Camera() = default;

    // The device's own name ("HD Webcam", "Virtual camera 0").
    virtual std::string name() const = 0;

    // Asks for kFrameWidth x kFrameHeight at `fps` frames a second; the device
    // may give the nearest it offers (copy_frame scales other sizes).
    virtual Status configure(double fps) = 0;

    // Starts streaming: from now on every frame goes to `on_frame`, on this
    // camera's own thread. A device that goes away stops delivering.
    virtual Status start(FrameCallback on_frame) = 0;

    // Stops streaming and joins the camera's thread; no callback runs after it
    // returns true. False when the thread did not end within `timeout` (it
    // ends by itself later and calls nothing).
    virtual bool stop(std::chrono::milliseconds timeout) = 0;

    // The control's range; false when the camera does not offer it.
    virtual bool range(Control c, ControlRange& out) = 0;
    // The control's present value and flag; false when it cannot be read.
    virtual bool get(Control c, ControlValue& out) = 0;
    // Sets the value under manual control (kFlagManual) or switches to
    // automatic control (kFlagAuto, value ignored where the device has no use
    // for it). False when the device refuses.
    virtual bool set(Control c, ControlValue v) = 0;
};

struct DeviceInfo {
    std::string id;    // "/dev/video0", "virtual:0"
    std::string name;  // what the device calls itself
};

// The video input devices of the system that can capture, in a stable order
// (V4L2: by node number; virtual: by number), at most kMaxCameras.
std::vector<DeviceInfo> list_devices();

// Opens one device of list_devices(); null when it cannot be opened.
std::unique_ptr<Camera> open_camera(const DeviceInfo& device);

// ---- Provider choice --------------------------------------------------------

// From now on the service lists `count` virtual cameras (0..8) instead of the
// system's V4L2 devices. `source` empty: moving test pictures; otherwise a
// stereo pair picture or a side-by-side movie (camera 0 shows its left half,
// camera 1 its right half, further cameras the test picture).
void use_virtual_cameras(int count, std::string source = {});
// Back to the system's devices (the default).
void use_system_cameras();

// Whether `source` can feed virtual cameras: a picture or a movie at least
// two pixels wide. `why` says why not, in a few words.
bool camera_source_usable(const std::string& source, std::string& why);

// ---- Virtual cameras: what a test may set ------------------------------------

struct VirtualControl {
    bool present = false;  // false: range() refuses it, as a device without it
    ControlRange range;
    ControlValue value;
    bool refuse_get = false;  // get() fails although range() works
    bool refuse_set = false;  // set() fails
};

struct VirtualCameraSetup {
    std::array<VirtualControl, kControlCount> controls{};
    bool delivers = true;        // false: streams but never delivers a frame
    bool refuse_format = false;  // configure() gives FormatRefused
    bool refuse_stream = false;  // start() gives StreamFailed
};

// Virtual camera `camera` (0..kMaxCameras-1) reads and writes its control
// values in this table, so a change shows at once in an open camera and
// survives closing it; the delivery flags count from its next configure or
// start. By default every control is present with range 0..255 step 1
// default 128, value 128 manual, and white balance, exposure and focus offer
// the automatic mode.
void set_virtual_camera_setup(int camera, const VirtualCameraSetup& setup);
VirtualCameraSetup virtual_camera_setup(int camera);
// Every virtual camera back to the default setup.
void reset_virtual_camera_setups();

}  // namespace plat::capture
