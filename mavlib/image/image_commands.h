// The image window's own commands: the two popup menus, their command ids
// and what each command does. Everything runs on the user thread, inside
// the image window's procedure.
#pragma once

#include "image/image_table.h"
#include "plat/core/menu.h"
#include "plat/core/messages.h"

namespace mav {

namespace cmd {
inline constexpr int kCut = 1011;
inline constexpr int kCopy = 1012;
inline constexpr int kPaste = 1013;         // placed by a click
inline constexpr int kPasteAtOrigin = 1014;  // Ctrl+V
inline constexpr int kLoad = 1004;
inline constexpr int kSaveAs = 1010;
inline constexpr int kZoom50 = 1007;
inline constexpr int kZoom100 = 1008;
inline constexpr int kZoom200 = 1009;
inline constexpr int kZoomTyped = 1046;
inline constexpr int kResizeTyped = 1047;
inline constexpr int kDestroy = 1005;
inline constexpr int kInvert = 1058;
inline constexpr int kRotateRight = 1061;
inline constexpr int kRotateLeft = 1062;
inline constexpr int kFlipHorizontal = 1059;
inline constexpr int kFlipVertical = 1060;
inline constexpr int kSize50 = 1063;
inline constexpr int kSize70 = 1064;
inline constexpr int kSize141 = 1065;
inline constexpr int kSize200 = 1066;
inline constexpr int kInfoPixel = 1015;
inline constexpr int kInfoLineRgb = 1016;
inline constexpr int kInfoLineHsv = 1017;
inline constexpr int kInfoLineYCrCb = 1018;
inline constexpr int kInfoLineCrCb = 1021;
inline constexpr int kInfoAreaCrCb = 1022;
inline constexpr int kInfoLineLumi = 1070;
inline constexpr int kPatternRgb = 1053;
inline constexpr int kPatternHsv = 1054;
inline constexpr int kPatternYCrCb = 1055;
inline constexpr int kPatternYuv = 1067;
inline constexpr int kPatternYiq = 1068;
inline constexpr int kPatternGrey = 1071;
inline constexpr int kClipping = 1019;
inline constexpr int kColorChange = 1031;
inline constexpr int kColorPick = 1052;
inline constexpr int kLineNormal = 1032;
inline constexpr int kLineHorizontal = 1034;
inline constexpr int kLineVertical = 1035;
inline constexpr int kBoxNormal = 1036;
inline constexpr int kBoxFill = 1037;
inline constexpr int kBoxFillXor = 1038;
inline constexpr int kCircleNormal = 1039;
inline constexpr int kCircleFill = 1040;
inline constexpr int kCircleFillXor = 1041;
inline constexpr int kTrueTypeDraw = 1048;
inline constexpr int kTrueTypeFont = 1049;
inline constexpr int kDrawText = 1042;
inline constexpr int kPaint = 1043;
}  // namespace cmd

// The menus as they are shown for an image now (zoom check marks, the
// information items of its depth).
plat::MenuPtr image_main_menu(const ImageRecord& r);
plat::MenuPtr image_second_menu(const ImageRecord& r);

// Opens the main (right button) or the second (middle button) popup menu of
// image `index` at a screen point; the chosen command is posted to the
// window. Nothing while a point pick is active or a text window waits for a
// typed line.
void open_image_menu(int index, plat::Point screen, bool second);

// Runs a command on the image of `window` (a window whose image has gone
// does nothing).
void run_image_command(plat::Hwnd window, int command);

// The processing commands on image `index`.
void invert_image(int index);
void flip_image(int index, bool left_right);
int rotate_image(int index, bool clockwise);
int rescale_image(int index, int per_mille);
void clip_image(int index);

// The colour and drawing commands on image `index`, made current.
void run_draw_command(int index, int command);

}  // namespace mav
