#include "camera_capture.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "plat/base/clock.h"
#include "plat/ui/dialogs.h"

ewc_CaptureState ewc_capture;

namespace {

using plat::capture::Camera;
using plat::capture::Control;
using plat::capture::Status;

constexpr double kFirstFrameTimeoutMs = 3000.0;
constexpr double kStopTimeoutMs = 3000.0;
constexpr int kAttempts = 3;

// Stops the cameras that run, within one shared deadline, and releases every
// slot from the last to the first.
void release_all() {
    ewc_CaptureState& s = ewc_capture;
    const double deadline = plat::monotonic_ms() + kStopTimeoutMs;
    for (int i = kEwcMaxCameras - 1; i >= 0; --i) {
        if (s.camera[i]) {
            const double left = std::max(0.0, deadline - plat::monotonic_ms());
            s.camera[i]->stop(std::chrono::milliseconds(std::int64_t(left)));
        }
    }
    for (int i = kEwcMaxCameras - 1; i >= 0; --i) {
        s.camera[i].reset();
        s.cam_dest[i].store(nullptr);
        s.own_block[i].reset();
    }
    s.camera_count = 0;
}

void clear_slots() {
    ewc_CaptureState& s = ewc_capture;
    for (int i = 0; i < kEwcMaxCameras; ++i) {
        s.camera[i].reset();
        s.own_block[i].reset();
        s.cam_dest[i].store(nullptr);
        s.last_length[i].store(0);
        s.last_time[i].store(0.0);
        std::fill(std::begin(s.prop_supported[i]), std::end(s.prop_supported[i]), 0);
    }
    s.camera_count = 0;
}

// Takes the devices the service lists, each in the next free slot; a device
// that cannot be opened takes none. 5 without devices, 8 when none opened.
int take_devices() {
    ewc_CaptureState& s = ewc_capture;
    const std::vector<plat::capture::DeviceInfo> devices = plat::capture::list_devices();
    if (devices.empty()) return 5;
    for (const auto& d : devices) {
        if (s.camera_count == kEwcMaxCameras) break;
        if (auto cam = plat::capture::open_camera(d)) s.camera[s.camera_count++] = std::move(cam);
    }
    return s.camera_count == 0 ? 8 : 0;
}

int prepare_camera(int i, double fps) {
    ewc_CaptureState& s = ewc_capture;
    s.cam_width[i] = kEwcFrameWidth;
    s.cam_height[i] = kEwcFrameHeight;
    if (s.camera[i]->configure(fps) != Status::Ok) return 11;
    // Zeroed rather than left undefined: a reader before the first frame sees black.
    s.own_block[i] = std::make_unique<std::uint32_t[]>(kEwcFrameBytes / 4);
    s.callback[i].camera_index = i;
    s.callback[i].consumed_time = 0.0;
    s.cam_dest[i].store(s.own_block[i].get());
    s.last_length[i].store(0);
    s.last_time[i].store(0.0);
    for (int p = 0; p < kEwcPropertyCount; ++p) {
        plat::capture::ControlRange r;
        s.prop_supported[i][p] = s.camera[i]->range(Control(p), r) ? 1 : 0;
    }
    return 0;
}

int run_cameras() {
    ewc_CaptureState& s = ewc_capture;
    for (int i = 0; i < s.camera_count; ++i) {
        const Status st = s.camera[i]->start([i](const plat::capture::FrameView& f) { ewc_DeliverFrame(i, f); });
        if (st != Status::Ok) return 19;
    }
    return 0;
}

int wait_first_frame() {
    const double until = plat::monotonic_ms() + kFirstFrameTimeoutMs;
    while (ewc_capture.last_length[0].load(std::memory_order_acquire) == 0) {
        if (plat::monotonic_ms() > until) return 21;
        plat::sleep_ms(1);
    }
    return 0;
}

int attempt(double fps) {
    clear_slots();
    if (int code = take_devices()) return code;
    for (int i = 0; i < ewc_capture.camera_count; ++i)
        if (int code = prepare_camera(i, fps)) return code;
    if (int code = run_cameras()) return code;
    return wait_first_frame();
}

}  // namespace

void ewc_DeliverFrame(int c, const plat::capture::FrameView& frame) {
    ewc_CaptureState& s = ewc_capture;
    if (c < 0 || c >= kEwcMaxCameras) return;
    std::uint32_t* dest = s.cam_dest[c].load(std::memory_order_acquire);
    if (!dest) return;
    const std::size_t written = plat::capture::copy_frame(frame, dest, std::size_t(kEwcFrameBytes));
    if (written == 0) return;  // a malformed frame is not a frame
    s.last_length[c].store(int(written), std::memory_order_release);
    // After the rows: whoever sees the new time sees the rows too.
    s.last_time[c].store(frame.time, std::memory_order_release);
}

int ewc_Start(double frames_per_second) {
    if (ewc_capture.capture_running == 1) return 1;
    int failed_runs = 0;
    int code = 0;
    for (int n = 0; n < kAttempts; ++n) {
        code = attempt(frames_per_second);
        if (code == 0) {
            ewc_capture.capture_running = 1;
            return 0;
        }
        release_all();
        if (code == 19 || code == 21) ++failed_runs;
        if (failed_runs == 0) break;
    }
    return code;
}

int ewc_Stop() {
    if (ewc_capture.capture_running == 0) return 1;
    release_all();
    ewc_capture.capture_running = 0;
    return 0;
}

int ewc_ShowPropertyPages(int camera) {
    ewc_CaptureState& s = ewc_capture;
    if (s.capture_running != 1 || camera < 0 || camera >= s.camera_count) return 1;
    Camera& cam = *s.camera[camera];
    std::vector<plat::PropertyRow> rows;
    std::vector<Control> controls;
    for (int p = 0; p < kEwcPropertyCount; ++p) {
        plat::capture::ControlRange r;
        plat::capture::ControlValue v;
        if (!s.prop_supported[camera][p] || !cam.range(Control(p), r)) continue;
        if (!cam.get(Control(p), v)) v = {r.default_value, plat::capture::kFlagManual};
        plat::PropertyRow row;
        row.name = std::string(plat::capture::control_name(Control(p)));
        row.min = r.min;
        row.max = r.max;
        row.step = r.step;
        row.value = v.value;
        row.has_auto = (r.flags & plat::capture::kFlagAuto) != 0;
        row.is_auto = (v.flags & plat::capture::kFlagAuto) != 0;
        rows.push_back(row);
        controls.push_back(Control(p));
    }
    // Titled with the name the camera's slot is known by in the graph.
    const std::string caption = "Video Capture " + std::to_string(camera);
    plat::property_dialog(plat::Hwnd{}, caption, std::move(rows), [&](int row, std::int32_t value, bool automatic) {
        if (row < 0 || std::size_t(row) >= controls.size()) return;
        cam.set(controls[std::size_t(row)],
                {value, automatic ? plat::capture::kFlagAuto : plat::capture::kFlagManual});
    });
    return 0;
}
