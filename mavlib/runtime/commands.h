// Menu commands and control ids of the main window.
#pragma once

namespace mav {

inline constexpr int kCmdStart = 1001;
inline constexpr int kCmdExit = 1002;
inline constexpr int kCmdStop = 1003;
inline constexpr int kCmdPaste = 1026;
inline constexpr int kCmdImageWindow = 1027;
inline constexpr int kCmdTextWindow = 1028;
inline constexpr int kCmdInputBox = 1044;
inline constexpr int kCmdWindowInfo = 1045;
inline constexpr int kCmdButtonBox = 1051;

inline constexpr int kStatusLabelId = 2001;

}  // namespace mav
