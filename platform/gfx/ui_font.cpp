// The font of control captions: glyphs of a proportional TrueType face (or
// of the fixed-cell font) rendered once into runs of ink, drawn through a Dc.
#include "plat/gfx/ui_font.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "plat/gfx/gfx.h"
#include "plat/gfx/truetype.h"
#include "utf8_decode.h"

namespace plat {

namespace {

// Where the fixed-cell font's baseline lies in its 16-pixel cell.
constexpr int kFixedAscent = 14;

// One row's stretch of ink, relative to the line's top-left.
struct InkRun {
    int x = 0;
    int y = 0;
    int length = 0;
};

struct CachedGlyph {
    int advance = 0;
    std::vector<InkRun> runs;
};

// Runs of the pixels of a width x height picture for which ink(x, y) holds,
// shifted by (dx, dy).
template <typename Ink>
std::vector<InkRun> runs_of(int width, int height, Ink ink, int dx, int dy) {
    std::vector<InkRun> runs;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width;) {
            if (!ink(x, y)) {
                ++x;
                continue;
            }
            int end = x;
            while (end < width && ink(end, y)) ++end;
            runs.push_back({x + dx, y + dy, end - x});
            x = end;
        }
    }
    return runs;
}

}  // namespace

struct UiFont::Impl {
    TrueTypeFont face;  // null: the fixed-cell font alone
    std::string family;
    int ascent = kFixedAscent;
    int descent = FixedFont::kCellHeight - kFixedAscent;
    mutable std::mutex m;
    mutable std::unordered_map<char32_t, CachedGlyph> glyphs;  // entries never go away

    // The fixed-cell font's glyph, its baseline on ours.
    CachedGlyph fixed_glyph(char32_t cp) const {
        const Glyph& g = FixedFont::instance().glyph(cp);
        auto ink = [&g](int x, int y) { return ((g.rows[std::size_t(y)] >> (g.width - 1 - x)) & 1u) != 0; };
        return {g.width, runs_of(g.width, FixedFont::kCellHeight, ink, 0, ascent - kFixedAscent)};
    }

    CachedGlyph face_glyph(char32_t cp) const {
        GlyphWidths w;
        if (!face.widths(cp, w)) return {};
        // Room around the cell for ink that reaches past it (accents, a
        // slanted stroke): it is kept, the line's spacing is the cell's.
        const int margin = ascent + descent;
        Surface box(std::max(1, w.b) + 2, 3 * margin);
        box.fill(0x000000);
        face.draw(box, {1 - w.a, margin}, cp, 0xFFFFFF);
        auto ink = [&box](int x, int y) { return box.pixel(x, y) != 0; };
        return {w.advance, runs_of(box.width(), box.height(), ink, w.a - 1, -margin)};
    }

    const CachedGlyph& glyph(char32_t cp) const {
        std::lock_guard lock(m);
        auto it = glyphs.find(cp);
        if (it != glyphs.end()) return it->second;
        const bool own = !face.is_null() && cp >= 0x20 && face.has_glyph(cp);
        return glyphs.emplace(cp, own ? face_glyph(cp) : fixed_glyph(cp)).first->second;
    }
};

UiFont::UiFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
UiFont::~UiFont() = default;

std::unique_ptr<UiFont> UiFont::fixed_cell() { return std::unique_ptr<UiFont>(new UiFont(std::make_unique<Impl>())); }

std::unique_ptr<UiFont> UiFont::open(std::string_view family, int em_pixels) {
    ResolvedFace resolved;
    if (!resolve_proportional_face(family, true, resolved)) return fixed_cell();
    TrueTypeDescription desc;
    desc.family = resolved.family;
    desc.height = -std::clamp(em_pixels, 1, 256);
    TrueTypeFont face = TrueTypeFont::open(desc);
    if (face.is_null() || face.face().file != resolved.file) return fixed_cell();
    auto impl = std::make_unique<Impl>();
    impl->ascent = face.ascent();
    impl->descent = face.descent();
    impl->family = resolved.family;
    impl->face = std::move(face);
    return std::unique_ptr<UiFont>(new UiFont(std::move(impl)));
}

const UiFont& UiFont::instance() {
    // Never destroyed: a thread may still draw while the process ends.
    static const UiFont* font = [] {
        std::unique_ptr<UiFont> f = open("DejaVu Sans");
        ResolvedFace any;
        if (!f->proportional() && resolve_proportional_face("sans-serif", false, any)) f = open(any.family);
        return f.release();
    }();
    return *font;
}

bool UiFont::proportional() const { return !impl_->face.is_null(); }
const std::string& UiFont::family() const { return impl_->family; }
int UiFont::line_height() const { return impl_->ascent + impl_->descent; }
int UiFont::advance(char32_t cp) const { return impl_->glyph(cp).advance; }

int UiFont::text_width(std::string_view utf8) const {
    std::int64_t width = 0;
    for (std::size_t pos = 0; pos < utf8.size();) width += advance(detail::next_code_point(utf8, pos));
    return int(std::clamp<std::int64_t>(width, INT_MIN, INT_MAX));
}

int UiFont::draw_text(Dc& dc, Point p, std::string_view utf8) const {
    std::int64_t x = p.x;
    const Color color = dc.text_color();
    // Far off any surface nothing shows; the bound keeps the sums in range.
    const bool drawable = p.y > INT_MIN / 2 && p.y < INT_MAX / 2;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const CachedGlyph& g = impl_->glyph(detail::next_code_point(utf8, pos));
        if (drawable && x > INT_MIN / 2 && x < INT_MAX / 2)
            for (const InkRun& r : g.runs) dc.fill_rect(Rect::from_xywh(int(x) + r.x, p.y + r.y, r.length, 1), color);
        x += g.advance;
    }
    return int(std::clamp<std::int64_t>(x, INT_MIN, INT_MAX));
}

}  // namespace plat
