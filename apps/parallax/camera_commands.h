// The camera commands of the compositor's button box: exposure and gain in
// steps of 5 % on both cameras, focus presets, automatic and fixed focus,
// white balance found automatically and held, and the property dialogs with
// the copy of camera 0's settings to camera 1. Each prints its line in the
// current text window whether or not a camera could act on it.
#pragma once

// The exposure and gain percents the steps move (multiples of 5, 0..100).
struct CameraRunState {
    double exposure_pct = 0.0;
    double gain_pct = 0.0;
};

// Camera 1 takes camera 0's exposure and gain, rounded down to a multiple of 5.
void sync_exposure_and_gain(CameraRunState& s);

void exposure_step(CameraRunState& s, int delta);  // delta -5 or +5
void gain_step(CameraRunState& s, int delta);

// Button 0..10: focus (10 - button) x 10 % on both cameras.
void focus_preset(int button);
void auto_focus();
void fix_focus();

void white_balance_parallel();
void white_balance_sync();

// Camera 0's dialog, then its settings copied to camera 1.
void configure_both();
// Camera 1's dialog.
void configure_right();
