// The process-wide table of the virtual cameras' setups and control values.
#pragma once

#include "plat/capture/capture.h"

namespace plat::capture {

VirtualCameraSetup default_virtual_setup();

// The camera's control, under the table's lock; false when the camera
// number is out of range or the control is not present.
bool virtual_range(int camera, Control c, ControlRange& out);
bool virtual_get(int camera, Control c, ControlValue& out);
bool virtual_set(int camera, Control c, ControlValue v);

}  // namespace plat::capture
