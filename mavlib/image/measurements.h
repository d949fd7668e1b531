// The image window's "Information..." and "Test Pattern..." commands: a
// pixel's value in six colour spaces printed to the text window, waveform
// and Cb-Cr scatter plots of a row or an area in new plot images, and six
// full-image test patterns. Runs on the user thread.
#pragma once

// The command ids are those of the menus (cmd::kInfoPixel, cmd::kPatternRgb, ...).
#include "image/image_commands.h"

namespace mav {

// An "Information..." command on image `index` (the clicked window's
// image): picks a point, a row or a box in its window, then reports or
// plots. A cancelled pick or an unknown command does nothing.
void information_command(int command, int index);

// A "Test Pattern..." command on image `index`: selects it as
// MAV_SelectImageByWindow does for its window, draws the pattern over the
// whole image and repaints it. Unknown commands and absent images do nothing.
void test_pattern_command(int command, int index);

// The parts after the pick, on the current image (the picked one):

// Prints pixel (x, y) in the current text window (opened when there is
// none): RGB, HSV, YCrCb, Yuv and YIQ for 32-bit images, the byte for 8-bit.
void report_pixel(int x, int y);

// Plots row y of the current image for one of the row commands
// (Line(RGB), Line(HSV), Line(YCrCb), Line(Lumi), Line(CrCb)) in a new
// 32-bit image, which becomes current. Returns the plot's image number, or
// -1 when there is no current image, no image could be created or the
// command is not a row plot.
int plot_row(int command, int y);

// Plots the rectangle's pixels of the current image in the Cb-Cr plane in a
// new image, which becomes current. The plot's number, or -1 when no image
// could be created or the box is empty or larger than the image.
int plot_area_crcb(int left, int top, int right, int bottom);

// Draws a test pattern over the whole current image. False (nothing drawn)
// for an unknown command or without a current image.
bool draw_test_pattern(int command);

}  // namespace mav
