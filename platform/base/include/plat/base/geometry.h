// Value types shared by every platform module: points, sizes, rectangles and
// colours. Rectangles are half-open: right and bottom lie just outside.
#pragma once

#include <algorithm>
#include <cstdint>

namespace plat {

struct Point {
    int x = 0;
    int y = 0;

    [[nodiscard]] constexpr Point translated(int dx, int dy) const { return {x + dx, y + dy}; }
    constexpr bool operator==(const Point&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;

    [[nodiscard]] constexpr bool is_empty() const { return width <= 0 || height <= 0; }
    constexpr bool operator==(const Size&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr Rect from_xywh(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }

    [[nodiscard]] constexpr int width() const { return right - left; }
    [[nodiscard]] constexpr int height() const { return bottom - top; }
    [[nodiscard]] constexpr Size size() const { return {width(), height()}; }
    [[nodiscard]] constexpr Point top_left() const { return {left, top}; }
    [[nodiscard]] constexpr bool is_empty() const { return right <= left || bottom <= top; }
    [[nodiscard]] constexpr bool contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    [[nodiscard]] constexpr Rect translated(int dx, int dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
    [[nodiscard]] constexpr Rect moved_to(Point p) const {
        return {p.x, p.y, p.x + width(), p.y + height()};
    }
    [[nodiscard]] constexpr Rect intersected(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.is_empty() ? Rect{} : r;
    }
    [[nodiscard]] constexpr Rect united(const Rect& o) const {
        if (is_empty()) return o;
        if (o.is_empty()) return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
    constexpr void translate(int dx, int dy) { *this = translated(dx, dy); }
    constexpr bool operator==(const Rect&) const = default;
};

// 0x00RRGGBB, blue in the low byte.
using Color = std::uint32_t;

constexpr Color rgb(int r, int g, int b) {
    return (Color(r & 0xFF) << 16) | (Color(g & 0xFF) << 8) | Color(b & 0xFF);
}
constexpr int red_of(Color c) { return int((c >> 16) & 0xFF); }
constexpr int green_of(Color c) { return int((c >> 8) & 0xFF); }
constexpr int blue_of(Color c) { return int(c & 0xFF); }

}  // namespace plat
