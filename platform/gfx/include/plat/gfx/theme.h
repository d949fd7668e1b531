// The desktop's colours: window frames, controls, menus and dialogs all draw
// with these, so that every part of a window looks of one piece.
#pragma once

#include "plat/base/geometry.h"

namespace plat::theme {

inline constexpr Color kFace = 0xD4D0C8;  // window, dialog and control background
inline constexpr Color kLight = 0xFFFFFF;
inline constexpr Color kShadow = 0x808080;
inline constexpr Color kDark = 0x404040;
inline constexpr Color kText = 0x000000;
inline constexpr Color kGrayText = 0x808080;
inline constexpr Color kHighlight = 0x0A246A;
inline constexpr Color kHighlightText = 0xFFFFFF;

// The caption bar: the active window's in the highlight colours, the others greyed.
inline constexpr Color kActiveCaption = kHighlight;
inline constexpr Color kActiveCaptionText = kHighlightText;
inline constexpr Color kInactiveCaption = kShadow;
inline constexpr Color kInactiveCaptionText = kFace;

}  // namespace plat::theme
