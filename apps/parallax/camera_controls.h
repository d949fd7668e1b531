// A camera's controls in percent of each control's own range. Property
// indices 0..16 are those of plat::capture::Control.
#pragma once

// The property's percent, (value - min) * 100 / (max - min); -1.0 when capture
// does not run, the camera or property is out of range, the camera does not
// support it, its range or value cannot be read, or its range is a single
// value. On success *is_auto (when given) is 1 under automatic control, else 0;
// on -1.0 it is left alone.
double ewc_GetPercent(int prop, int camera, int* is_auto);

// Sets the property to `pct` percent of its range under manual control: the
// value truncated toward zero and kept within the range. 0 set; 1 capture
// does not run or no such camera; 2 property out of range; 3 not supported;
// 4 range unreadable; 5 the camera refused the value.
int ewc_SetPercent(double pct, int prop, int camera);

// Switches the property to automatic control at its present value; the same
// codes as ewc_SetPercent.
int ewc_SetAuto(int prop, int camera);
