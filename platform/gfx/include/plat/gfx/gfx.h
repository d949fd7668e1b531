// Drawing: pixel surfaces, device contexts over them, and the fixed-cell font.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "plat/base/geometry.h"

namespace plat {

enum class PixelFormat { Rgb32, Indexed8 };

// A top-down pixel buffer. Rgb32 holds one 0x00RRGGBB word per pixel; Indexed8
// one palette index per pixel, rows padded to a multiple of 4 bytes. The pixel
// pointer stays valid for the life of the surface.
class Surface {
public:
    Surface() = default;
    Surface(int width, int height, PixelFormat format = PixelFormat::Rgb32);

    int width() const { return width_; }
    int height() const { return height_; }
    Size size() const { return {width_, height_}; }
    Rect rect() const { return {0, 0, width_, height_}; }
    PixelFormat format() const { return format_; }
    int stride() const { return stride_; }  // bytes per row
    bool is_null() const { return width_ <= 0 || height_ <= 0; }

    std::uint8_t* bits() { return pixels_.data(); }
    const std::uint8_t* bits() const { return pixels_.data(); }
    std::uint32_t* row32(int y) { return reinterpret_cast<std::uint32_t*>(bits() + std::size_t(y) * stride_); }
    const std::uint32_t* row32(int y) const { return reinterpret_cast<const std::uint32_t*>(bits() + std::size_t(y) * stride_); }
    std::uint8_t* row8(int y) { return bits() + std::size_t(y) * stride_; }
    const std::uint8_t* row8(int y) const { return bits() + std::size_t(y) * stride_; }

    std::array<Color, 256>& palette() { return palette_; }
    const std::array<Color, 256>& palette() const { return palette_; }

    // Colour at (x, y) (palette resolved for Indexed8); 0 outside the surface.
    Color pixel(int x, int y) const;
    // Rgb32: stores the colour; Indexed8: stores the low byte as the index.
    // Ignored outside the surface.
    void set_pixel(int x, int y, Color value);
    void fill(Color value);

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    PixelFormat format_ = PixelFormat::Rgb32;
    std::vector<std::uint8_t> pixels_;
    std::array<Color, 256> palette_{};
};

// One glyph of the fixed-cell font: 8 or 16 pixels wide, 16 high; row r's
// leftmost pixel is the top bit of rows[r] (bit 15 for wide glyphs, bit 7 for narrow).
struct Glyph {
    int width = 8;
    std::array<std::uint16_t, 16> rows{};
};

// The fixed-cell font of text windows and every control: 8 x 16 cells, wide
// characters 16 x 16. Glyphs come from GNU Unifont's hex file when installed,
// with built-in printable-ASCII glyphs as fallback.
class FixedFont {
public:
    static constexpr int kCellWidth = 8;
    static constexpr int kCellHeight = 16;

    static const FixedFont& instance();

    // The glyph for a code point; unknown ones get a box glyph.
    const Glyph& glyph(char32_t cp) const;
    int advance(char32_t cp) const { return glyph(cp).width; }
    // Width in pixels of a UTF-8 string.
    int text_width(std::string_view utf8) const;
    bool has_unifont() const { return loaded_from_file_; }

    // A font read from another Unifont hex file, with the same built-in
    // fallback; for tools and tests. instance() is the one to draw with.
    static FixedFont from_hex_file(std::string_view path);

private:
    FixedFont();
    explicit FixedFont(std::string_view hex_path);
    std::vector<Glyph> glyphs_;          // indexed by code point, BMP only
    std::vector<std::uint8_t> present_;  // 1 where glyphs_[cp] is defined
    Glyph box_;
    bool loaded_from_file_ = false;
};

enum class BkMode { Transparent, Opaque };

// How Dc::stretch_blit resamples; the values are the library's mode numbers.
// Plain (colour on colour): nearest pixel, so shrinking drops source pixels
// and enlarging repeats them, both evenly. Smooth (halftone): each
// destination pixel is the coverage-weighted average of the source area
// under it. Any other value behaves as Plain.
enum class StretchMode { Plain = 3, Smooth = 4 };

// A drawing context: a surface, an origin (where logical (0,0) lies on the
// surface) and a clip rectangle in surface coordinates, plus text state. All
// coordinates given to its operations are logical. Drawing outside the clip
// is silently dropped.
class Dc {
public:
    explicit Dc(Surface& surface);
    Dc(Surface& surface, Point origin, Rect clip);

    Surface& surface() { return *surface_; }
    Point origin() const { return origin_; }
    Rect clip() const { return clip_; }

    void set_text_color(Color c) { text_color_ = c; }
    Color text_color() const { return text_color_; }
    void set_bk_color(Color c) { bk_color_ = c; }
    Color bk_color() const { return bk_color_; }
    void set_bk_mode(BkMode m) { bk_mode_ = m; }
    BkMode bk_mode() const { return bk_mode_; }

    void fill_rect(Rect r, Color c);
    // One-pixel outline just inside r.
    void frame_rect(Rect r, Color c);
    void invert_rect(Rect r);
    void hline(int x0, int x1, int y, Color c);  // x1 exclusive
    void vline(int x, int y0, int y1, Color c);  // y1 exclusive
    // Copies src_rect of src so that its top-left lands at dst (logical).
    void blit(Point dst, const Surface& src, Rect src_rect);

    // The mode stretch_blit uses when none is given; Plain to begin with.
    void set_stretch_mode(StretchMode m) { stretch_mode_ = m; }
    StretchMode stretch_mode() const { return stretch_mode_; }
    // Copies src_rect of src scaled to fill dst (logical), clipped like blit.
    // A rectangle with left > right (or top > bottom) covers the same pixels
    // as its normalised form [right, left) and is drawn mirrored left to right
    // (top to bottom); this holds for src_rect too, and mirroring both cancels
    // out. A mirrored copy is the exact mirror image of the unmirrored one.
    // Plain takes, for destination pixel d of a span of D, source pixel
    // floor((2d + 1) * S / (2 * D)) of a span of S (the one under d's centre).
    // Smooth weighs each source pixel by its overlap with d's footprint and
    // rounds half up (a 0x000000/0xFFFFFF checker halves to 0x808080); a
    // 1:1 copy equals blit in both modes. Destination pixels whose centre
    // maps outside src stay untouched, and Smooth averages only the part of
    // the footprint inside src. Empty or zero-sized rectangles draw nothing.
    // Indexed8 sources are read through their palette. An Indexed8 target
    // gets what blit would store (indices from Indexed8, the low byte from
    // Rgb32), and Smooth falls back to Plain there, an average having no index.
    void stretch_blit(Rect dst, const Surface& src, Rect src_rect, StretchMode mode);
    void stretch_blit(Rect dst, const Surface& src, Rect src_rect) {
        stretch_blit(dst, src, src_rect, stretch_mode_);
    }

    // Draws UTF-8 text in the fixed-cell font with its cell's top-left at p.
    // In opaque mode the cells are filled with the background colour first.
    // Returns the x just past the text.
    int draw_text(Point p, std::string_view utf8);

private:
    void put(int sx, int sy, Color c);
    Surface* surface_;
    Point origin_;
    Rect clip_;
    Color text_color_ = 0x000000;
    Color bk_color_ = 0xFFFFFF;
    BkMode bk_mode_ = BkMode::Opaque;
    StretchMode stretch_mode_ = StretchMode::Plain;
};

// Stretches src_rect of src onto dst_rect of dst, the whole surface being
// the clip; the same rules as Dc::stretch_blit.
void stretch_copy(Surface& dst, Rect dst_rect, const Surface& src, Rect src_rect, StretchMode mode);

}  // namespace plat
