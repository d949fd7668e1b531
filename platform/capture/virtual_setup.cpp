#include "virtual_setup.h"

#include <algorithm>
#include <mutex>

namespace plat::capture {

namespace {

std::mutex g_mutex;

std::array<VirtualCameraSetup, kMaxCameras>& table() {
    static std::array<VirtualCameraSetup, kMaxCameras> t = [] {
        std::array<VirtualCameraSetup, kMaxCameras> all;
        all.fill(default_virtual_setup());
        return all;
    }();
    return t;
}

bool valid(int camera, Control c) { return camera >= 0 && camera < kMaxCameras && int(c) >= 0 && int(c) < kControlCount; }

VirtualControl* control(int camera, Control c) {
    if (!valid(camera, c)) return nullptr;
    VirtualControl& vc = table()[std::size_t(camera)].controls[std::size_t(c)];
    return vc.present ? &vc : nullptr;
}

}  // namespace

VirtualCameraSetup default_virtual_setup() {
    VirtualCameraSetup s;
    for (int i = 0; i < kControlCount; ++i) {
        VirtualControl& c = s.controls[std::size_t(i)];
        c.present = true;
        c.range = {0, 255, 1, 128, kFlagManual};
        c.value = {128, kFlagManual};
    }
    for (Control c : {Control::WhiteBalance, Control::Exposure, Control::Focus})
        s.controls[std::size_t(c)].range.flags = kFlagAuto | kFlagManual;
    return s;
}

void set_virtual_camera_setup(int camera, const VirtualCameraSetup& setup) {
    if (camera < 0 || camera >= kMaxCameras) return;
    std::lock_guard lock(g_mutex);
    table()[std::size_t(camera)] = setup;
}

VirtualCameraSetup virtual_camera_setup(int camera) {
    if (camera < 0 || camera >= kMaxCameras) return {};
    std::lock_guard lock(g_mutex);
    return table()[std::size_t(camera)];
}

void reset_virtual_camera_setups() {
    std::lock_guard lock(g_mutex);
    table().fill(default_virtual_setup());
}

bool virtual_range(int camera, Control c, ControlRange& out) {
    std::lock_guard lock(g_mutex);
    const VirtualControl* vc = control(camera, c);
    if (!vc) return false;
    out = vc->range;
    return true;
}

bool virtual_get(int camera, Control c, ControlValue& out) {
    std::lock_guard lock(g_mutex);
    const VirtualControl* vc = control(camera, c);
    if (!vc || vc->refuse_get) return false;
    out = vc->value;
    return true;
}

// As a device does: manual values are kept within the range, automatic
// control is refused by a control that has none and keeps the value.
bool virtual_set(int camera, Control c, ControlValue v) {
    std::lock_guard lock(g_mutex);
    VirtualControl* vc = control(camera, c);
    if (!vc || vc->refuse_set) return false;
    if (v.flags & kFlagAuto) {
        if (!(vc->range.flags & kFlagAuto)) return false;
        vc->value.flags = kFlagAuto;
        return true;
    }
    if (v.flags != kFlagManual) return false;
    const auto [lo, hi] = std::minmax(vc->range.min, vc->range.max);
    vc->value = {std::clamp(v.value, lo, hi), kFlagManual};
    return true;
}

}  // namespace plat::capture
