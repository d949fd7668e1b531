#include "v4l2_controls.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace plat::capture {
namespace {

// How a control's value and automatic mode reach the device.
enum class Kind {
    None,     // V4L2 has no such control
    Integer,  // the value is the control's own
    ColorFx,  // colour on/off through the COLORFX menu: 1 = NONE, 0 = BW
};

// How the automatic mode is switched.
enum class AutoKind {
    None,      // manual only
    Boolean,   // an on/off control
    Exposure,  // the EXPOSURE_AUTO menu
};

struct Mapping {
    Kind kind;
    std::uint32_t id;
    AutoKind auto_kind;
    std::uint32_t auto_id;
};

Mapping mapping(Control c) {
    switch (c) {
        case Control::Brightness: return {Kind::Integer, V4L2_CID_BRIGHTNESS, AutoKind::None, 0};
        case Control::Contrast: return {Kind::Integer, V4L2_CID_CONTRAST, AutoKind::None, 0};
        case Control::Hue: return {Kind::Integer, V4L2_CID_HUE, AutoKind::Boolean, V4L2_CID_HUE_AUTO};
        case Control::Saturation: return {Kind::Integer, V4L2_CID_SATURATION, AutoKind::None, 0};
        case Control::Sharpness: return {Kind::Integer, V4L2_CID_SHARPNESS, AutoKind::None, 0};
        case Control::Gamma: return {Kind::Integer, V4L2_CID_GAMMA, AutoKind::None, 0};
        case Control::ColorEnable: return {Kind::ColorFx, V4L2_CID_COLORFX, AutoKind::None, 0};
        case Control::WhiteBalance:
            return {Kind::Integer, V4L2_CID_WHITE_BALANCE_TEMPERATURE, AutoKind::Boolean,
                    V4L2_CID_AUTO_WHITE_BALANCE};
        case Control::BacklightCompensation:
            return {Kind::Integer, V4L2_CID_BACKLIGHT_COMPENSATION, AutoKind::None, 0};
        case Control::Gain: return {Kind::Integer, V4L2_CID_GAIN, AutoKind::Boolean, V4L2_CID_AUTOGAIN};
        case Control::Pan: return {Kind::Integer, V4L2_CID_PAN_ABSOLUTE, AutoKind::None, 0};
        case Control::Tilt: return {Kind::Integer, V4L2_CID_TILT_ABSOLUTE, AutoKind::None, 0};
        // The V4L2 camera controls have pan, tilt and zoom but no roll, so
        // no V4L2 camera ever offers Roll.
        case Control::Roll: return {Kind::None, 0, AutoKind::None, 0};
        case Control::Zoom: return {Kind::Integer, V4L2_CID_ZOOM_ABSOLUTE, AutoKind::None, 0};
        case Control::Exposure:
            return {Kind::Integer, V4L2_CID_EXPOSURE_ABSOLUTE, AutoKind::Exposure, V4L2_CID_EXPOSURE_AUTO};
        case Control::Iris: return {Kind::Integer, V4L2_CID_IRIS_ABSOLUTE, AutoKind::None, 0};
        case Control::Focus:
            return {Kind::Integer, V4L2_CID_FOCUS_ABSOLUTE, AutoKind::Boolean, V4L2_CID_FOCUS_AUTO};
    }
    return {Kind::None, 0, AutoKind::None, 0};
}

std::optional<v4l2_queryctrl> query(const V4l2Device& device, std::uint32_t id) {
    v4l2_queryctrl q{};
    q.id = id;
    if (device.ioctl(VIDIOC_QUERYCTRL, &q) < 0) return std::nullopt;
    if (q.flags & V4L2_CTRL_FLAG_DISABLED) return std::nullopt;
    return q;
}

bool menu_has(const V4l2Device& device, const v4l2_queryctrl& q, std::int32_t index) {
    if (index < q.minimum || index > q.maximum) return false;
    v4l2_querymenu m{};
    m.id = q.id;
    m.index = std::uint32_t(index);
    return device.ioctl(VIDIOC_QUERYMENU, &m) >= 0;
}

bool read(const V4l2Device& device, std::uint32_t id, std::int32_t& value) {
    v4l2_control c{};
    c.id = id;
    if (device.ioctl(VIDIOC_G_CTRL, &c) < 0) return false;
    value = c.value;
    return true;
}

bool write(const V4l2Device& device, std::uint32_t id, std::int32_t value) {
    v4l2_control c{};
    c.id = id;
    c.value = value;
    return device.ioctl(VIDIOC_S_CTRL, &c) >= 0;
}

// The values that switch a control's automatic mode off and on; nullopt
// when the device offers no automatic mode for it.
struct AutoValues {
    std::uint32_t id;
    std::int32_t manual;
    std::int32_t automatic;
};

std::optional<AutoValues> auto_values(const V4l2Device& device, const Mapping& m) {
    if (m.auto_kind == AutoKind::None) return std::nullopt;
    std::optional<v4l2_queryctrl> q = query(device, m.auto_id);
    if (!q) return std::nullopt;
    if (m.auto_kind == AutoKind::Boolean) return AutoValues{m.auto_id, 0, 1};
    // Cameras that cannot run fully automatic offer aperture priority, which
    // still chooses the exposure time by itself.
    if (!menu_has(device, *q, V4L2_EXPOSURE_MANUAL)) return std::nullopt;
    if (menu_has(device, *q, V4L2_EXPOSURE_AUTO))
        return AutoValues{m.auto_id, V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_AUTO};
    if (menu_has(device, *q, V4L2_EXPOSURE_APERTURE_PRIORITY))
        return AutoValues{m.auto_id, V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_APERTURE_PRIORITY};
    return std::nullopt;
}

bool auto_is_on(AutoKind kind, std::int32_t value) {
    if (kind == AutoKind::Exposure)
        return value == V4L2_EXPOSURE_AUTO || value == V4L2_EXPOSURE_APERTURE_PRIORITY;
    return value != 0;
}

// The colour effect menu serves as an on/off switch only when it offers both.
bool color_fx_usable(const V4l2Device& device, const v4l2_queryctrl& q) {
    return q.type == V4L2_CTRL_TYPE_MENU && menu_has(device, q, V4L2_COLORFX_NONE) &&
           menu_has(device, q, V4L2_COLORFX_BW);
}

// The main control, if the device offers it in a form we can use.
std::optional<v4l2_queryctrl> main_control(const V4l2Device& device, const Mapping& m) {
    if (m.kind == Kind::None) return std::nullopt;
    std::optional<v4l2_queryctrl> q = query(device, m.id);
    if (q && m.kind == Kind::ColorFx && !color_fx_usable(device, *q)) return std::nullopt;
    return q;
}

}  // namespace

bool v4l2_control_range(const V4l2Device& device, Control c, ControlRange& out) {
    const Mapping m = mapping(c);
    std::optional<v4l2_queryctrl> q = main_control(device, m);
    if (!q) return false;
    ControlRange r;
    if (m.kind == Kind::ColorFx) {
        r.min = 0;
        r.max = 1;
        r.step = 1;
        r.default_value = q->default_value == V4L2_COLORFX_BW ? 0 : 1;
    } else {
        r.min = q->minimum;
        r.max = q->maximum;
        r.step = q->step > 0 ? q->step : 1;
        r.default_value = q->default_value;
    }
    r.flags = auto_values(device, m) ? (kFlagAuto | kFlagManual) : kFlagManual;
    out = r;
    return true;
}

bool v4l2_control_get(const V4l2Device& device, Control c, ControlValue& out) {
    const Mapping m = mapping(c);
    if (!main_control(device, m)) return false;
    std::int32_t value = 0;
    if (!read(device, m.id, value)) return false;
    // Any effect but black-and-white (sepia, ...) still shows colour.
    if (m.kind == Kind::ColorFx) value = value == V4L2_COLORFX_BW ? 0 : 1;

    std::int32_t flags = kFlagManual;
    std::int32_t auto_value = 0;
    if (auto_values(device, m) && read(device, m.auto_id, auto_value) && auto_is_on(m.auto_kind, auto_value))
        flags = kFlagAuto;
    out = {value, flags};
    return true;
}

bool v4l2_control_set(const V4l2Device& device, Control c, ControlValue v) {
    const Mapping m = mapping(c);
    std::optional<v4l2_queryctrl> q = main_control(device, m);
    if (!q) return false;
    std::optional<AutoValues> a = auto_values(device, m);

    if (v.flags & kFlagAuto) {
        if (!a) return false;
        return write(device, a->id, a->automatic);
    }
    // The device ignores (or refuses) a value while its automatic mode runs.
    if (a && !write(device, a->id, a->manual)) return false;
    std::int32_t value;
    if (m.kind == Kind::ColorFx) {
        value = v.value != 0 ? V4L2_COLORFX_NONE : V4L2_COLORFX_BW;
    } else {
        value = std::clamp(v.value, q->minimum, std::max(q->minimum, q->maximum));
    }
    return write(device, m.id, value);
}

}  // namespace plat::capture
