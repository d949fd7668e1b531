// The pictures files_app draws with MAV_TEST_PATTERNS=1, shared with the
// tests that check what the program saved: every pixel differs from its
// neighbours, and the 8-bit image's palette entries all differ.
#pragma once

#include <cstdint>

namespace patterns {

inline constexpr int kColourImage = 3;  // 32-bit
inline constexpr int kColourWidth = 70;
inline constexpr int kColourHeight = 50;
inline constexpr int kIndexedImage = 7;  // 8-bit
inline constexpr int kIndexedWidth = 60;
inline constexpr int kIndexedHeight = 40;

// 0x00RRGGBB
inline std::uint32_t colour_pixel(int x, int y) {
    return std::uint32_t(x * 3) << 16 | std::uint32_t(y * 5) << 8 | std::uint32_t((x * 7 + y * 11) & 0xFF);
}
inline std::uint8_t indexed_pixel(int x, int y) { return std::uint8_t((x * 5 + y * 3) & 0xFF); }
inline void palette_entry(int i, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
    r = std::uint8_t(i);
    g = std::uint8_t(255 - i);
    b = std::uint8_t(i * 37);
}

}  // namespace patterns
