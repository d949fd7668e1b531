// The font of control captions (push buttons): a proportional face found
// through fontconfig at the size of a desktop's UI font, drawn in
// single-colour pixels like every font here. DejaVu Sans where it is
// installed, else the sans-serif face fontconfig offers; with no
// proportional face at all, the fixed-cell font. Characters the face lacks
// (Japanese in DejaVu Sans) come from the fixed-cell font, on the same
// baseline. Title bars, menus, text windows and edit fields keep the
// fixed-cell font.
//
// Thread-safe: glyphs are rendered once and kept, under a lock.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "plat/base/geometry.h"

namespace plat {

class Dc;

class UiFont {
public:
    // The em height of the UI face, in pixels.
    static constexpr int kEmPixels = 11;

    // The font controls draw with.
    static const UiFont& instance();
    // A UI font of `family` only, at an em of `em_pixels`; the fixed-cell
    // font when that family is not installed or is fixed-pitch.
    static std::unique_ptr<UiFont> open(std::string_view family, int em_pixels = kEmPixels);
    // The fixed-cell font, as a UI font.
    static std::unique_ptr<UiFont> fixed_cell();

    ~UiFont();
    UiFont(const UiFont&) = delete;
    UiFont& operator=(const UiFont&) = delete;

    bool proportional() const;
    // The installed family drawn with; empty for the fixed-cell font.
    const std::string& family() const;
    // Distance between two lines: the face's cell (ascent and descent).
    int line_height() const;
    int advance(char32_t cp) const;
    int text_width(std::string_view utf8) const;
    // Draws in the dc's text colour, transparently, with the line's top-left
    // at p. Returns the x just past the text.
    int draw_text(Dc& dc, Point p, std::string_view utf8) const;

private:
    struct Impl;
    explicit UiFont(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace plat
