// The camera service's controls mapped to V4L2 control ids, and their
// automatic modes to the V4L2 auto controls. Stateless: every call asks the
// device, so it is safe beside the streaming thread.
#pragma once

#include "plat/capture/capture.h"
#include "v4l2_device.h"

namespace plat::capture {

bool v4l2_control_range(const V4l2Device& device, Control c, ControlRange& out);
bool v4l2_control_get(const V4l2Device& device, Control c, ControlValue& out);
bool v4l2_control_set(const V4l2Device& device, Control c, ControlValue v);

}  // namespace plat::capture
