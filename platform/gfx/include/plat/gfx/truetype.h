// TrueType text: faces found through fontconfig, glyphs drawn with FreeType.
//
// A requested family that is not installed resolves to an installed
// equivalent where one is known (the Windows Japanese faces such as
// "ＭＳ ゴシック" to IPAGothic and the like), else to the system's monospace
// face. Glyphs are drawn as single-colour pixels (no antialiasing), so text
// in an image keeps exactly the colour asked for. Bold and italic are
// synthesised from the regular face.
//
// Thread-safe: FreeType and fontconfig calls are serialised internally.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plat/base/geometry.h"

namespace plat {

class Surface;

struct TrueTypeDescription {
    std::string family;  // UTF-8
    // > 0: cell height in pixels (ascent + descent); < 0: em height; 0: 16.
    int height = 16;
    // Average character width in pixels (the sign is ignored); 0 keeps the
    // face's own proportions.
    int width = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;  // a line through the middle of the lower-case letters

    bool operator==(const TrueTypeDescription&) const = default;
};

// A glyph's horizontal extent: a blank before the ink, the ink, a blank
// after it (negative when the ink overhangs). a + b + c == advance.
struct GlyphWidths {
    int a = 0;
    int b = 0;
    int c = 0;
    int advance = 0;
};

// Where a family name leads.
struct ResolvedFace {
    std::string file;
    int index = 0;       // face index within the file
    std::string family;  // the installed family's name
};

// False when no scalable face is installed at all.
bool resolve_face(std::string_view family, ResolvedFace& out);

// The proportional (not fixed-pitch) scalable face fontconfig gives for
// `family`, which may be a generic name such as "sans-serif"; with `exact`,
// only a face of that very family. False when there is none.
bool resolve_proportional_face(std::string_view family, bool exact, ResolvedFace& out);

// The families of the installed scalable faces, each once (by its first
// name), sorted without regard to ASCII case; empty when there are none.
std::vector<std::string> scalable_families();

class TrueTypeFont {
public:
    // Larger sizes are refused: one glyph would need tens of megabytes.
    static constexpr int kMaxPixelSize = 8192;

    TrueTypeFont() noexcept;
    ~TrueTypeFont();
    TrueTypeFont(TrueTypeFont&&) noexcept;
    TrueTypeFont& operator=(TrueTypeFont&&) noexcept;

    // A null font when no face can be loaded or the size is out of range.
    static TrueTypeFont open(const TrueTypeDescription& desc);

    bool is_null() const { return !impl_; }
    const TrueTypeDescription& description() const;
    const ResolvedFace& face() const;
    // The cell: ascent above the baseline and descent below it, in pixels.
    int ascent() const;
    int descent() const;

    // Widths of cp's glyph (the .notdef glyph when the face lacks it).
    // False on a null font.
    bool widths(char32_t cp, GlyphWidths& out) const;
    // Whether the face has a glyph of its own for cp.
    bool has_glyph(char32_t cp) const;

    // Draws cp with its cell's top-left at top_left, transparently, clipped
    // to the surface. Indexed8 surfaces get the palette entry nearest to
    // `color`. Returns the advance, 0 on a null font.
    int draw(Surface& surface, Point top_left, char32_t cp, Color color) const;

private:
    struct Impl;
    explicit TrueTypeFont(std::unique_ptr<Impl> impl) noexcept;
    std::unique_ptr<Impl> impl_;
};

}  // namespace plat
