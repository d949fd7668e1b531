// Text in the built-in 8 x 14 bitmap font, drawn at the image text cursor.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "image/drawing_state.h"
#include "image/image_table.h"
#include "mav/drawing.h"
#include "plat/gfx/bitmap_font.h"

namespace mav {

namespace {

constexpr int kAdvance = plat::bitmap_font::kAdvance;
constexpr int kGlyphRows = plat::bitmap_font::kRows;
constexpr int kLineHeight = 16;
constexpr int kFormatBuffer = 4096;

void new_line() {
    mav_tx = mav_tx0;
    mav_ty = wrap_add(mav_ty, kLineHeight);
}

}  // namespace

}  // namespace mav

using namespace mav;

void MAV_PutChar(int c) {
    const int code = c & 0xFF;
    if (code == '\n') {
        new_line();
        return;
    }
    const std::uint8_t* glyph = plat::bitmap_font::glyph(code);
    if (!glyph) return;

    // The cell lies above the baseline mav_ty; unset bits leave the picture.
    for (int i = 0; i < kGlyphRows; ++i)
        for (int j = 0; j < 8; ++j)
            if (glyph[i] & (0x80 >> j)) MAV_SetPixel(wrap_add(mav_tx, j), wrap_add(mav_ty, i - kGlyphRows), mav_tc);

    mav_tx = wrap_add(mav_tx, kAdvance);
    const ImageRecord* image = current_image_record();
    const int width = image ? image->width : 0;
    if (mav_tx > width - kAdvance) new_line();
}

void MAV_PutString(const char* s) {
    if (!s) return;
    for (; *s; ++s) MAV_PutChar(static_cast<unsigned char>(*s));
}

int MAV_PrintImage(const char* format, ...) {
    if (!format) return 0;
    char buf[kFormatBuffer];
    va_list ap;
    va_start(ap, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n < 0) return 0;
    MAV_PutString(buf);
    return int(std::strlen(buf));
}
