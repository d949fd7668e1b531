// The colours every control and dialog draws with.
#pragma once

#include "plat/base/geometry.h"

namespace plat::ui {

inline constexpr Color kFace = 0xD4D0C8;
inline constexpr Color kLight = 0xFFFFFF;
inline constexpr Color kShadow = 0x808080;
inline constexpr Color kDark = 0x404040;
inline constexpr Color kText = 0x000000;
inline constexpr Color kGrayText = 0x808080;
inline constexpr Color kHighlight = 0x0A246A;
inline constexpr Color kHighlightText = 0xFFFFFF;

}  // namespace plat::ui
