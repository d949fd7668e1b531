#include "plat/gfx/bitmap_font.h"

namespace plat::bitmap_font {

namespace {
#include "bitmap_font_glyphs.inc"
static_assert(kGlyphRows == kRows);
}  // namespace

const std::uint8_t* glyph(int code) {
    if (code < kFirstGlyph || code >= kFirstGlyph + kGlyphCount) return nullptr;
    return kGlyphs[code - kFirstGlyph];
}

}  // namespace plat::bitmap_font
