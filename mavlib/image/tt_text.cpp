// TrueType text at the image text cursor, in mav_tttc, through the
// platform's TrueType fonts.
#include <cstddef>
#include <string>
#include <string_view>

#include "image/drawing_state.h"
#include "image/image_table.h"
#include "mav/drawing.h"
#include "plat/base/codepage.h"
#include "plat/gfx/gfx.h"
#include "plat/gfx/truetype.h"

namespace mav {

namespace {

// The face the programs' text was laid out with; the platform resolves it to
// an installed Japanese gothic face.
constexpr const char kStartFace[] = "ＭＳ ゴシック";
constexpr int kStartWidth = 8;
constexpr int kStartHeight = 16;

plat::TrueTypeDescription start_description() {
    plat::TrueTypeDescription desc;
    desc.family = kStartFace;
    desc.height = kStartHeight;
    desc.width = kStartWidth;
    return desc;
}

struct TtState {
    plat::TrueTypeDescription desc = start_description();
    plat::TrueTypeFont font;
    bool opened = false;  // font holds the result of opening desc
    // The size last given to MAV_SetTTFontSize; the height places the cell
    // above the baseline and spaces the lines.
    int width = kStartWidth;
    int height = kStartHeight;
};

TtState& tt() {
    // Never destroyed: an abandoned user thread may still be drawing text
    // while the process exits.
    static auto* state = new TtState;
    return *state;
}

// The font for the current description, opened on first use; nullptr when
// none can be had.
const plat::TrueTypeFont* font() {
    TtState& t = tt();
    if (!t.opened) {
        t.font = plat::TrueTypeFont::open(t.desc);
        t.opened = true;
    }
    return t.font.is_null() ? nullptr : &t.font;
}

int reopen() {
    TtState& t = tt();
    t.font = plat::TrueTypeFont::open(t.desc);
    t.opened = true;
    return t.font.is_null() ? 1 : 0;
}

// Style codes replace the font by a copy with one attribute changed.
void set_style(bool plat::TrueTypeDescription::*attribute, bool on) {
    TtState& t = tt();
    if (t.desc.*attribute == on) return;
    t.desc.*attribute = on;
    t.font = {};
    t.opened = false;
}

bool is_lead_byte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

plat::TrueTypeDescription tt_font_description() { return tt().desc; }

int set_tt_font_description(const plat::TrueTypeDescription& desc) {
    tt().desc = desc;
    return reopen();
}

int tt_font_width() { return tt().width; }
int tt_font_height() { return tt().height; }

void reset_tt_font() {
    TtState& t = tt();
    t.desc = start_description();
    t.width = kStartWidth;
    t.height = kStartHeight;
    t.font = {};
    t.opened = false;
}

void release_tt_font() {
    TtState& t = tt();
    t.font = {};
    t.opened = false;
}

}  // namespace mav

using namespace mav;

void MAV_PutTTChar(int code) {
    TtState& t = tt();
    if (code < 32) {
        switch (code) {
            case 1: set_style(&plat::TrueTypeDescription::italic, true); break;
            case 2: set_style(&plat::TrueTypeDescription::italic, false); break;
            case 3: set_style(&plat::TrueTypeDescription::bold, true); break;
            case 4: set_style(&plat::TrueTypeDescription::bold, false); break;
            case 5: set_style(&plat::TrueTypeDescription::underline, true); break;
            case 6: set_style(&plat::TrueTypeDescription::underline, false); break;
            case 10:
                mav_ty = wrap_add(mav_ty, t.height);
                mav_tx = mav_tx0;
                break;
            default: break;
        }
        return;
    }

    char bytes[2];
    std::size_t n = 0;
    if (code < 256) {
        bytes[n++] = char(code);
    } else {
        bytes[n++] = char((code >> 8) & 0xFF);
        bytes[n++] = char(code & 0xFF);
    }
    const std::u16string text = plat::sjis_to_utf16(std::string_view(bytes, n));
    const plat::TrueTypeFont* f = font();
    if (text.empty() || !f) return;
    const char32_t cp = text[0];

    int advance = 0;
    if (ImageRecord* image = current_image_record()) {
        // The cell's top-left: the stored height above the baseline row.
        const int top = int(unsigned(mav_ty) - unsigned(t.height) + 1u);
        advance = f->draw(image->buffer, {mav_tx, top}, cp, plat::Color(mav_tttc) & 0xFFFFFFu);
    } else {
        plat::GlyphWidths w;
        if (f->widths(cp, w)) advance = w.a + w.b + w.c;
    }
    mav_tx = wrap_add(mav_tx, advance);
}

void MAV_PutTTString(const char* s) {
    if (!s) return;
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    while (*p) {
        if (is_lead_byte(*p)) {
            // A lead byte without its trail byte ends the text.
            if (!p[1]) return;
            MAV_PutTTChar(int(unsigned(p[0]) << 8 | p[1]));
            p += 2;
        } else {
            MAV_PutTTChar(*p++);
        }
    }
}

int MAV_SetTTFontSize(int w, int h) {
    TtState& t = tt();
    t.width = w;
    t.height = h;
    t.desc.height = h;
    t.desc.width = w / 2;
    return reopen();
}
